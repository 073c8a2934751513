(bind ?l (create$ 3 1 2))
(foreach ?x ?l (printout t ?x " "))
(foreach ?y (create$) (printout t never))
(printout t crlf)
