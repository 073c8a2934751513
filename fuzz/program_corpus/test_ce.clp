(defrule big (value ?v) (test (> ?v 10)) => (printout t ?v " is big" crlf))
(defrule small (value ?v&:(< ?v 5)) (not (test (= ?v 0))) => (printout t ?v crlf))
(assert (value 3) (value 0) (value 20))
(run)
