; A fuzzy fan controller.  Each room reports its temperature and humidity; fuzzy rules map them
; to a fan speed.  A rule fires as strongly as its conditions hold (the smaller of the two
; degrees), its conclusion is capped at that strength, the conclusions about one room are
; combined into one fuzzy fan speed, and its centre of gravity is the speed the fan is set to.

(deftype temperature "room temperature"
  extends (type FUZZY)
  (range 0 40) (units C)
  (values
    (term cold ((0 1) (10 1) (20 0)))
    (term comfortable ((15 0) (22 1) (28 0)))
    (term hot ((24 0) (32 1) (40 1)))))

(deftype humidity "relative humidity"
  extends (type FUZZY)
  (range 0 100) (units %)
  (values
    (term dry ((0 1) (30 1) (50 0)))
    (term normal ((30 0) (50 1) (70 0)))
    (term humid ((55 0) (75 1) (100 1)))))

(deftype fan-speed "fan speed, percent of the maximum"
  extends (type FUZZY)
  (range 0 100) (units %)
  (values
    (term off ((0 1) (10 0)))
    (term low ((5 0) (25 1) (45 0)))
    (term medium ((35 0) (55 1) (75 0)))
    (term high ((65 0) (85 1) (100 1)))))

(deftemplate reading "what a room's sensors report"
  (slot room)
  (slot temp (type temperature))
  (slot humidity (type humidity)))

(deftemplate fan "the speed a room's fan should run at"
  (slot room)
  (slot speed (type fan-speed)))

(deffacts sensors
  (reading (room office) (temp 27) (humidity 68))
  (reading (room lab) (temp 18) (humidity 40)))

; --- the rule base ------------------------------------------------------------------------------

(defrule hot-and-humid
  (reading (room ?r) (temp hot) (humidity humid))
  =>
  (assert (fan (room ?r) (speed high))))

(defrule hot-and-normal
  (reading (room ?r) (temp hot) (humidity normal))
  =>
  (assert (fan (room ?r) (speed medium))))

(defrule hot-and-dry
  (reading (room ?r) (temp hot) (humidity dry))
  =>
  (assert (fan (room ?r) (speed medium))))

(defrule comfortable-but-humid
  (reading (room ?r) (temp comfortable) (humidity humid))
  =>
  (assert (fan (room ?r) (speed medium))))

(defrule comfortable
  (reading (room ?r) (temp comfortable))
  =>
  (assert (fan (room ?r) (speed low))))

(defrule cold
  (reading (room ?r) (temp cold))
  =>
  (assert (fan (room ?r) (speed off))))

; --- the answer, once every conclusion is in ------------------------------------------------------

(defrule set-fan
  (declare (salience -10))
  (fan (room ?r) (speed ?s))
  =>
  (format t "%s: fan at %.2f percent%n" ?r (moment-defuzzify ?s))
  (plot-fuzzy-value t "*" 0 100 ?s)
  (printout t crlf))

(reset)
(run)
