(defrule once ?f <- (token) => (retract ?f) (undefrule once) (assert (token)))
(assert (token))
(run)
(rules)
