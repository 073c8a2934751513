(parse "(defrule r (a) => (printout t a crlf))")
(parse "(assert (a))")
(run)
(parse "(broken")
