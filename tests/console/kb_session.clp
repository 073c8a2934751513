; A session at the console: a small knowledge base defined, listed, edited, saved, cleared,
; loaded again and run to the same answer.
(deftemplate order (slot id) (slot total (type FLOAT)) (slot status (default open)))
(deffacts orders
  (order (id 1) (total 120.5))
  (order (id 2) (total 19.99))
  (order (id 3) (total 730.125)))
(defrule discount "big orders get 10 percent off"
  ?o <- (order (id ?i) (total ?t&:(> ?t 100.0)) (status open))
  =>
  (modify ?o (total (* ?t 0.9)) (status discounted)))
(defrule report (declare (salience -5))
  (order (id ?i) (total ?t) (status ?s))
  =>
  (printout t "order " ?i " " ?s " " ?t crlf))
(defrule obsolete (order (id 99)) => (printout t "never" crlf))
(reset)
(facts)
(agenda)
(run)
(rules)
(list-defrules)
(ppdefrule discount)
(undefrule obsolete)
(list-defrules)
(save "kb_session.saved")
(clear)
(list-defrules)
(load "kb_session.saved")
(remove "kb_session.saved")
(list-defrules)
(reset)
(run)
