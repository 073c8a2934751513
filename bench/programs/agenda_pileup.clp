; Matches that pile up on the agenda: a rule of higher salience asserts the facts of both sides
; one pair at a time, so every match of the joining rule waits on the agenda until the
; generator is done, each new one placed among thousands of equal salience; then they fire.
; N left and N right facts over K keys make N * N / K matches (agenda_pileup.py writes N, K).

(deftemplate left (slot id (type INTEGER)) (slot key (type INTEGER)))
(deftemplate right (slot id (type INTEGER)) (slot key (type INTEGER)))
(deftemplate make (slot n (type INTEGER)) (slot keys (type INTEGER)))
(defglobal ?*fired* = 0)
(defrule generate
  (declare (salience 10))
  ?m <- (make (n ?n&:(> ?n 0)) (keys ?k))
  =>
  (assert (left (id ?n) (key (mod ?n ?k))))
  (assert (right (id ?n) (key (mod (* ?n 7) ?k))))
  (modify ?m (n (- ?n 1))))
(defrule pair
  (left (id ?a) (key ?k))
  (right (id ?b) (key ?k))
  =>
  (bind ?*fired* (+ ?*fired* 1)))
