(defrule once (declare (oneshot TRUE)) (tick ?) => (printout t once crlf))
(defrule off (declare (enabled FALSE)) (tick ?) => (printout t off crlf))
(assert (tick 1) (tick 2))
(run)
