(bind ?i 0)
(while (< ?i 10) do (bind ?i (+ ?i 1)) (if (= ?i 5) then (printout t "half" crlf)))
?i
