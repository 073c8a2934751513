(defrule g ?f <- (n ?x&:(< ?x 3)) => (guard (retract ?f) (assert (n (+ ?x 1)))))
(assert (n 0))
(run)
(facts)
