(defrule split (list $?before ?mid $?after) (test (> (length$ ?before) 0)) =>
  (printout t ?before " | " ?mid " | " ?after crlf))
(assert (list a b c d))
(run)
