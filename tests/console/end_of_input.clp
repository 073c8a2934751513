; Input that runs out: "read" answers EOF at the end of input, "readline" an empty line, blank
; lines before a word are passed over by "read", and only the first word of a line is read.
(printout t "first: " (read) crlf)
(printout t "line: " (readline) crlf)
(printout t "skip blank: " (read) crlf)
(printout t "empty line: " (readline) crlf)
(printout t "at the end: " (read) " " (readline) crlf)
