;;; ==========================================================================
;;; Grammar corners: types, templates, facts, functions and globals
;;;
;;; A weather-station data model that happens to use every form of type,
;;; template and slot declaration the language has.  It is read, printed and
;;; read again by the round-trip test; nothing here needs to run.
;;; ==========================================================================

;; --- deftype ---------------------------------------------------------------

;; Every primitive type keyword once.
(deftype any-lexeme extends (type LEXEME))
(deftype word extends (type SYMBOL))
(deftype old-word extends (type ATOM))
(deftype label extends (type STRING))
(deftype count extends (type INTEGER))
(deftype reading extends (type FLOAT))
(deftype quantity extends (type NUMBER))
(deftype handle extends (type EXTERNALADDRESS))
(deftype instance extends (type OBJECT))
(deftype class-ref extends (type CLASS))
(deftype descriptor-ref extends (type DESCRIPTOR))
(deftype fact-ref extends (type FACTID))
(deftype whole-fact extends (type FACT))
(deftype anything extends (type ?VARIABLE))
(deftype several extends (type SYMBOL STRING INTEGER))

;; Ranges with open and computed bounds; units with and without blanks.
(deftype kelvin "Absolute temperature" extends (type FLOAT)
  (range 0 ?VARIABLE)
  (units K))
(deftype below-zero extends (type INTEGER)
  (range ?VARIABLE -1))
(deftype hectopascal extends (type NUMBER)
  (range (- 1000 130) (+ 1000 85))
  (units "hecto pascal"))
(deftype humidity extends (type INTEGER FLOAT)
  (range 0 100)
  (units %))

;; Inheritance from a defined type: the parent's constraints, narrowed.
(deftype station-temperature extends (type kelvin)
  (range 180 340))
(deftype reading-list extends (type quantity)
  (cardinality 1 24)
  (units "per hour"))
(deftype day-count extends (type count SYMBOL)
  (range 0 366))

;; Every allowed-* form.
(deftype compass extends (type SYMBOL)
  (allowed-symbols n ne e se s sw w nw))
(deftype sky extends (type STRING)
  (allowed-strings "clear" "few clouds" "overcast"))
(deftype precipitation extends (type LEXEME)
  (allowed-lexemes none rain snow "freezing rain"))
(deftype beaufort extends (type INTEGER)
  (allowed-integers 0 1 2 3 4 5 6 7 8 9 10 11 12))
(deftype sensor-gain extends (type FLOAT)
  (allowed-floats 0.5 1.0 2.0 4.0))
(deftype interval extends (type NUMBER)
  (allowed-numbers 1 5 15 30.5 60))
(deftype quality extends (type ?VARIABLE)
  (allowed-values good suspect "bad" 0 1.5))
(deftype computed-levels extends (type INTEGER)
  (allowed-integers (* 2 5) (+ 10 10) 30))
(deftype visibility extends (type INTEGER)
  (range 0 100000)
  (cardinality 1 ?VARIABLE)
  (units m)
  (allowed-integers 50 200 1000 4000 10000 100000))

;; Fuzzy types: a universe of discourse and terms given as point lists.
(deftype wind-speed "Wind in metres per second" extends (type FUZZY)
  (range 0 40)
  (units "m/s")
  (values
    (term calm ((0 1) (2 1) (4 0)))
    (term breeze ((2 0) (6 1) (10 0)))
    (term gale ((14 0) (20 1) (40 1)))))
(deftype cloud-cover extends (type FUZZY)
  (range 0 8)
  (values
    (term clear ((0 1) (1 1) (2 0)))
    (term broken ((3 0) (5 1) (7 0)))
    (term overcast ((6 0) (8 1)))))

;; --- defglobal ---------------------------------------------------------------

(defglobal ?*station* = "Hohe Warte" ?*altitude* = 198 ?*latitude* = 48.2486)
(defglobal ?*sensors* = sensors-v2)
(defglobal ?*log-level* = (+ 1 2))

;; --- deftemplate -------------------------------------------------------------

;; "slot", "field" and "multislot"; no qualifiers at all.
(deftemplate plain
  (slot a)
  (field b)
  (multislot c))

(deftemplate station "A station and its fixed properties"
  (slot id (type SYMBOL) (default wien-hw))
  (slot name (type STRING) (default ?*station*))
  (slot height (type INTEGER) (default ?*altitude*) (units m))
  (slot latitude (type FLOAT) (range -90 90))
  (slot longitude (type FLOAT) (range -180 180) (default 16.3564))
  (slot opened (type INTEGER) (range 1800 ?VARIABLE) (default 1872))
  (slot created (default-dynamic (gensym*)))
  (slot kind (type LEXEME) (default synop))
  (slot anything (type ?VARIABLE))
  (slot sky (type sky))
  (slot wind (type compass) (default w))
  (slot gust (type beaufort))
  (multislot sensors (type SYMBOL) (default thermometer barometer hygrometer))
  (multislot owners (type STRING) (cardinality 1 3) (default "ZAMG"))
  (multislot calibrated (default-dynamic (create$ 2023 2024)))
  (multislot readings (type reading-list)))

(deftemplate measurement
  (slot station (type SYMBOL))
  (slot taken (type INTEGER) (range 0 ?VARIABLE))
  (slot temperature (type station-temperature) (default 273.15))
  (slot pressure (type hectopascal) (default 1013))
  (slot humidity (type humidity) (default 50))
  (slot precipitation (type precipitation) (default none))
  (slot quality (type quality) (default good))
  (slot gain (type sensor-gain) (default 1.0))
  (slot every (type interval) (default 15))
  (slot level (type computed-levels) (default 20))
  (slot frost-days (type day-count) (default 0))
  (slot mixed (type SYMBOL STRING INTEGER) (allowed-values a "b" 3))
  (slot float-converted (type FLOAT) (default 3))
  (slot share (type NUMBER) (range 0 1) (default 0.25))
  (slot cold (type below-zero) (default -5))
  (slot where (type FACTID))
  (slot source (type FACT))
  (slot device (type EXTERNALADDRESS))
  (slot owner (type OBJECT))
  (slot made-by (type CLASS))
  (slot file (type DESCRIPTOR))
  (multislot flags (type SYMBOL) (allowed-symbols calibrated estimated manual))
  (multislot history (type NUMBER) (cardinality 0 ?VARIABLE))
  (multislot notes (type STRING) (cardinality ?VARIABLE 10)))

;; Slot qualifiers written in upper case are accepted as well.
(deftemplate alert
  (slot level (TYPE INTEGER) (RANGE 1 4) (DEFAULT 1))
  (slot text (type STRING) (Units chars) (Default "no alert")))

(deftemplate automatic-station "A station without staff"
  extends station
  (slot battery (type FLOAT) (range 0 100) (default 100.0))
  (slot wind (type compass) (default n)))

(deftemplate solar-station
  extends automatic-station
  (slot panel-watts (type INTEGER) (default 40)))

;; Ordered templates typed by a defined type.
(deftemplate wind-direction is-a compass)
(deftemplate hourly-readings is-a reading-list)
(deftemplate gust-speed is-a wind-speed)

;; --- deffacts ----------------------------------------------------------------

(deffacts stations "The network"
  (station (id wien-hw) (latitude 48.2486) (sky "clear") (gust 3)
           (sensors thermometer anemometer) (owners "ZAMG" "Universitaet Wien"))
  (automatic-station (id sonnblick) (name "Sonnblick") (height 3106) (latitude 47.0542)
                     (battery 87.5) (readings 1 2 3.5))
  (solar-station (id rax) (latitude 47.7) (panel-watts 60) (calibrated))
  (measurement (station wien-hw) (taken 0) (temperature 281.4) (quality "bad")
               (flags calibrated manual) (history 1 2.5 -3) (notes "first" "second"))
  (wind-direction nw)
  (hourly-readings 1 2 3)
  (sensor-log wien-hw ok 12 4.5 "battery low" nil)
  (empty-fact))

(deffacts no-facts "A fact set may be empty")

;; --- deffunction -------------------------------------------------------------

(deffunction no-arguments ()
  TRUE)

(deffunction dew-point (?t ?rh)
  "Magnus formula, temperature in degrees Celsius"
  (bind ?a 17.62)
  (bind ?b 243.12)
  (bind ?g (+ (/ (* ?a ?t) (+ ?b ?t)) (log (/ ?rh 100))))
  (/ (* ?b ?g) (- ?a ?g)))

(deffunction mean (?first $?rest)
  (bind ?sum ?first)
  (foreach ?x ?rest (bind ?sum (+ ?sum ?x)))
  (/ ?sum (+ 1 (length$ ?rest))))

(deffunction describe (?value) "the comment after the parameters"
  (if (numberp ?value) then "number"
   else (if (stringp ?value) then "string" else (if (symbolp ?value) then "symbol" else "other"))))

(deffunction body-of-values ($?all)
  ?all
  "a string"
  symbol
  42
  2.5)

;; --- top-level calls (read, not run, by the round-trip test) ------------------

(bind ?x (create$ a b c))
(str-cat "Station " ?*station* " at " ?*altitude* " m")
(dew-point 20 65)
(mean 1 2 3 4)
