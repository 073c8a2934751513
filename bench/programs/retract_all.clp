; Assert-then-retract: the items come from retract_all.py's deffacts; one rule retracts each of
; them as it fires and counts it, so the check line shows that every fact went.

(deftemplate item (slot id (type INTEGER)) (slot weight (type INTEGER)))
(defglobal ?*removed* = 0)
(defrule remove-item ?f <- (item (id ?i)) => (retract ?f) (bind ?*removed* (+ ?*removed* 1)))
