;;; ==========================================================================
;;; School timetable
;;;
;;; Places lessons into a week of periods so that no teacher, class or room
;;; is used twice at the same time, teachers get their free afternoon and the
;;; lab is only booked for science.  The search is plain forward chaining:
;;; one lesson at a time is placed in the first free period that fits.
;;; ==========================================================================

(deftype weekday extends (type SYMBOL)
  (allowed-symbols mon tue wed thu fri))

(deftype period extends (type INTEGER)
  (range 1 8))

(deftemplate teacher
  (slot name (type SYMBOL))
  (multislot subjects (type SYMBOL) (cardinality 1 ?VARIABLE))
  (slot free-day (type weekday) (default fri))
  (slot max-per-day (type INTEGER) (range 1 6) (default 5)))

(deftemplate room
  (slot name (type SYMBOL))
  (slot capacity (type INTEGER) (range 1 ?VARIABLE) (default 30))
  (multislot equipment (type SYMBOL)))

(deftemplate lesson "A lesson that still has to be placed"
  (slot id (type INTEGER))
  (slot class (type SYMBOL))
  (slot subject (type SYMBOL))
  (slot teacher (type SYMBOL))
  (slot size (type INTEGER) (default 25))
  (slot needs (allowed-symbols none lab gym) (default none)))

(deftemplate booking
  (slot lesson (type INTEGER))
  (slot day (type weekday))
  (slot period (type period))
  (slot room (type SYMBOL))
  (slot teacher (type SYMBOL))
  (slot class (type SYMBOL)))

(deftemplate slot-candidate
  (slot day (type weekday))
  (slot period (type period)))

(defglobal ?*periods-per-day* = 6 ?*placed* = 0)

(deffunction afternoon-p (?period)
  "Periods after lunch"
  (> ?period 4))

(deffunction next-slot (?day ?period)
  (if (< ?period ?*periods-per-day*)
   then (create$ ?day (+ ?period 1))
   else (create$ (nth$ (+ (member$ ?day (create$ mon tue wed thu fri)) 1) (create$ mon tue wed thu fri)) 1)))

(deffacts staff
  (teacher (name mueller) (subjects maths physics) (free-day wed))
  (teacher (name okafor) (subjects chemistry biology))
  (teacher (name lindqvist) (subjects english history) (max-per-day 4))
  (teacher (name santos) (subjects sport)))

(deffacts rooms
  (room (name r101) (capacity 32))
  (room (name lab1) (capacity 24) (equipment fume-hood sinks))
  (room (name gym) (capacity 60) (equipment mats)))

(deffacts lessons "Year 9 lessons for one week"
  (lesson (id 1) (class 9a) (subject maths) (teacher mueller))
  (lesson (id 2) (class 9a) (subject chemistry) (teacher okafor) (needs lab) (size 22))
  (lesson (id 3) (class 9b) (subject maths) (teacher mueller))
  (lesson (id 4) (class 9b) (subject english) (teacher lindqvist))
  (lesson (id 5) (class 9a) (subject sport) (teacher santos) (needs gym) (size 50))
  (slot-candidate (day mon) (period 1)))

;; The lesson with the lowest id that is not yet booked is placed first.
(defrule place-lesson
  ?l <- (lesson (id ?id) (class ?class) (teacher ?t) (size ?n) (needs none))
  (not (lesson (id ?other&:(< ?other ?id)) (needs none)))
  (slot-candidate (day ?d) (period ?p))
  (teacher (name ?t) (free-day ?free&~?d))
  (room (name ?r) (capacity ?cap&:(>= ?cap ?n)) (equipment))
  (not (booking (day ?d) (period ?p) (room ?r)))
  (not (booking (day ?d) (period ?p) (teacher ?t)))
  (not (booking (day ?d) (period ?p) (class ?class)))
  =>
  (assert (booking (lesson ?id) (day ?d) (period ?p) (room ?r) (teacher ?t) (class ?class)))
  (bind ?*placed* (+ ?*placed* 1))
  (retract ?l))

(defrule place-special-lesson
  ?l <- (lesson (id ?id) (class ?class) (teacher ?t) (needs ?need&lab|gym))
  (slot-candidate (day ?d) (period ?p&:(not (afternoon-p ?p))))
  (room (name ?r) (equipment $? ?kit&:(or (and (eq ?need lab) (eq ?kit sinks)) (and (eq ?need gym) (eq ?kit mats))) $?))
  (not (booking (day ?d) (period ?p) (room ?r)))
  (not (booking (day ?d) (period ?p) (teacher ?t)))
  =>
  (assert (booking (lesson ?id) (day ?d) (period ?p) (room ?r) (teacher ?t) (class ?class)))
  (retract ?l))

(defrule teacher-day-full
  (declare (salience 10))
  (teacher (name ?t) (max-per-day ?max))
  (slot-candidate (day ?d))
  (test (>= ?max 1))
  (exists (booking (teacher ?t) (day ?d)))
  =>
  (printout t ?t " teaches on " ?d crlf))

(defrule advance-candidate
  (declare (salience -10))
  ?c <- (slot-candidate (day ?d&~fri|mon) (period ?p))
  (exists (lesson))
  =>
  (bind ?next (next-slot ?d ?p))
  (retract ?c)
  (assert (slot-candidate (day (nth$ 0 ?next)) (period (nth$ 1 ?next)))))

(defrule week-is-full
  (declare (salience -20) (oneshot TRUE))
  (slot-candidate (day fri) (period ?p&:(= ?p ?*periods-per-day*)))
  (lesson (id ?id) (subject ?s))
  =>
  (printout t "No room left in the week for lesson " ?id " (" ?s ")" crlf)
  (halt))

(defrule all-placed
  (declare (salience -100))
  (not (lesson))
  =>
  (printout t ?*placed* " lessons placed" crlf))
