; A multifield-heavy program: sequences of readings come from multifield.py; rules take their
; lists apart with multifield variables - the whole body, the body before a last field, a
; marker with what stands before and after it - and compare lists of two facts whole.

(deftemplate seq (slot id (type INTEGER)) (multislot readings))
(deftemplate probe (multislot readings))
(defglobal ?*whole* = 0 ?*tails* = 0 ?*markers* = 0 ?*same* = 0)
(defrule whole (seq (readings $?all)) => (bind ?*whole* (+ ?*whole* 1)))
(defrule tail (seq (readings $?body ?last&:(> ?last 50))) => (bind ?*tails* (+ ?*tails* 1)))
(defrule marker (seq (readings $?before 0 $?after)) => (bind ?*markers* (+ ?*markers* 1)))
(defrule same (probe (readings $?p)) (seq (readings $?r&$?p)) => (bind ?*same* (+ ?*same* 1)))
