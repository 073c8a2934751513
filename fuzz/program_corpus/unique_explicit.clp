(do-backward-chaining need)
(defrule u (unique (x ?a)) (explicit (need ?a)) => (printout t ?a crlf))
(assert (x 1) (x 2) (need 1))
(run)
