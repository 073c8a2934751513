;;; ==========================================================================
;;; Grammar corners: rules
;;;
;;; A building-access controller whose rules use every conditional element,
;;; constraint and declaration the rule language has.  It is read, printed
;;; and read again by the round-trip test; nothing here needs to run.
;;; ==========================================================================

(deftemplate badge
  (slot id (type INTEGER))
  (slot holder (type STRING))
  (slot level (allowed-symbols visitor staff security admin) (default visitor))
  (multislot zones (type SYMBOL))
  (slot valid (allowed-symbols yes no) (default yes)))

(deftemplate door
  (slot name (type SYMBOL))
  (slot zone (type SYMBOL))
  (slot state (allowed-symbols open closed locked) (default closed))
  (multislot schedule (type INTEGER)))

(deftemplate swipe
  (slot badge (type INTEGER))
  (slot door (type SYMBOL))
  (slot hour (type INTEGER) (range 0 23)))

(deftemplate alarm
  (slot door (type SYMBOL))
  (slot reason (type STRING)))

(defglobal ?*night-start* = 22 ?*night-end* = 6 ?*lockdown* = FALSE)

(deffunction night-p (?hour)
  (or (>= ?hour ?*night-start*) (< ?hour ?*night-end*)))

;; Comments before a pattern and before an action are kept with it.
(defrule grant-access
  "A valid badge that lists the door's zone opens the door"
  ; the swipe that triggers the decision
  ?s <- (swipe (badge ?id) (door ?d) (hour ?h))
  ?b <- (badge (id ?id) (valid yes) (zones $?before ?z $?after))
  ?door <- (door (name ?d) (zone ?z) (state ~locked))
  =>
  ; open first, then forget the swipe
  (modify ?door (state open))
  (retract ?s)
  (printout t "Access granted to " ?id " at " ?d crlf))

;; Declarations: each property alone and all together, salience from a variable and a call.
(defrule deny-unknown-badge
  (declare (salience 100))
  ?s <- (swipe (badge ?id) (door ?d))
  (not (badge (id ?id)))
  =>
  (assert (alarm (door ?d) (reason "unknown badge")))
  (retract ?s))

(defrule first-swipe-of-the-day
  (declare (oneshot TRUE))
  (swipe (hour ?h&:(>= ?h 6)))
  =>
  (printout t "Building in use" crlf))

(defrule maintenance-override
  (declare (enabled FALSE))
  ?d <- (door (state locked))
  =>
  (modify ?d (state closed)))

(defrule emergency
  (declare (salience 1000) (oneshot TRUE) (enabled FALSE))
  (alarm (reason "fire"))
  =>
  (halt))

(defrule dynamic-priority
  (declare (salience ?*night-start*))
  (swipe (hour ?h&:(night-p ?h)))
  =>
  (printout t "Night access" crlf))

(defrule computed-priority
  (declare (salience (- 0 ?*night-end*)))
  (swipe (door ?d))
  =>
  (printout t ?d crlf))

(defrule explicit-false-properties
  (declare (oneshot FALSE) (enabled TRUE) (salience 0))
  (swipe)
  =>)

;; Literal constraints of every kind, negation, and/or connectives, predicate and return-value
;; constraints, bound and anonymous variables.
(defrule constraint-forms
  (badge (id 17) (holder "Ada Byron") (level admin) (valid yes))
  (badge (id ~17&~18) (level staff|security) (holder ?name&~"nobody"))
  (badge (id ?n&:(> ?n 100)&:(< ?n 200)) (level ?l&~visitor))
  (badge (id =(+ 1 2)) (holder ?))
  (badge (id ?m&=(* 2 21)|=(+ 40 3)))
  (door (name ?dn) (schedule 8 ?open&:(> ?open 7) ? 18 $?))
  (door (zone ~?dn))
  (swipe (hour 2.5|3|-1))
  =>
  (printout t ?name ?l ?n ?m ?dn crlf))

;; Multifield variables and the empty multislot.
(defrule multifield-forms
  (badge (zones))
  (badge (zones $?all))
  (badge (zones ?first $?))
  (badge (zones $? ?last))
  (badge (zones $?x lobby $?y&:(> (length$ ?y) 1)))
  (door (schedule $?hours&:(subsetp (create$ 8 18) ?hours)))
  =>
  (printout t ?all ?first ?last ?x ?y ?hours crlf))

;; Ordered patterns: constants, variables, wildcards and constraints on the fields.
(defrule ordered-patterns
  (lockdown)
  (zone-closed ?zone)
  (visitor-count ?zone ?n&:(> ?n 0))
  (shift ?who&~nobody day|night $?rest)
  (log $? entry ? $?)
  (not (lockdown released))
  =>
  (assert (notify security ?zone ?n))
  (printout t ?who ?rest crlf))

;; Conditional elements: not, exists, nested not/exists, unique, explicit, test.
(defrule conditional-elements
  (door (name ?d))
  (not (alarm (door ?d)))
  (exists (badge (level security)))
  (not (exists (swipe (door ?d))))
  (not (not (door (state locked))))
  (not (not (exists (alarm))))
  (unique (badge (level admin)))
  (explicit (door (zone server-room)))
  (unique (explicit (swipe (door ?d))))
  (test (> (length$ (create$ ?d)) 0))
  (not (test (eq ?d back-door)))
  =>
  (printout t ?d " is quiet" crlf))

(defrule starts-with-not
  (not (alarm))
  (not (swipe))
  =>
  (printout t "All quiet" crlf))

(defrule starts-with-test
  (test (not ?*lockdown*))
  (door (name ?d))
  =>
  (printout t ?d crlf))

(defrule starts-with-exists
  (exists (door (state open)))
  =>
  (printout t "A door is open" crlf))

;; An empty left-hand side and an empty right-hand side.
(defrule no-patterns
  =>
  (printout t "Controller started" crlf))

(defrule no-actions
  (swipe (badge 0))
  =>)

;; The arrow may be written with a blank between its characters.
(defrule spaced-arrow
  (swipe (badge -1))
  = >
  (assert (alarm (door unknown) (reason "test badge"))))

;; Actions of every shape: nested calls, slot functions, variables as function names,
;; strings with escapes, special characters as arguments.
(defrule action-forms
  ?s <- (swipe (badge ?id) (door ?d) (hour ?h))
  ?b <- (badge (id ?id) (zones $?z))
  =>
  (assert (alarm (door ?d) (reason "late")) (audit ?id ?d ?h) (empty-marker))
  (modify ?b (zones ?z night) (valid no))
  (duplicate ?s (hour (+ ?h 1)) (door side-entrance))
  (bind ?count (+ 1 (* 2 (- ?h 3)) (/ 10 4)))
  (bind ?list (create$ a "b c" 3 4.5 ?id $?z))
  (bind ?nothing (create$))
  (if (and (> ?h 20) (not (eq ?d main)))
   then (printout t "Say \"good night\" to " ?id crlf)
   else (printout t "Welcome" crlf))
  (while (> ?count 0) do (bind ?count (- ?count 1)))
  (foreach ?zone ?z (printout t ?zone crlf))
  (try (bind ?x (/ 1 0)) except (printout t "caught" crlf))
  (switch ?h (case 8 then (printout t "morning" crlf)) (default (printout t "other" crlf)))
  (format t "%d swipes%n" ?count)
  (str-cat "tab" "\\t" "quote" "\"")
  (?count)
  (= ?h 3)
  (f ((1 0) (2 1) (3 0)))
  (printout t & | ~ crlf))
