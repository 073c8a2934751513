; A fuzzy knowledge base: fuzzy types with every term shape, templates with fuzzy slots, facts
; holding fuzzy values written every way the language allows, and rules matching fuzzy slots.

(deftype temperature "air temperature"
  extends (type FUZZY)
  (range -10 50) (units "deg C")
  (values
    (term freezing (z -10 5))
    (term cold ((-10 1) (0 1) (15 0)))
    (term mild (tri 5 15 25))
    (term warm (pi 25 10))
    (term hot (s 25 45))
    (term sultry (pi 30 38 46))
    (term spike (beta 20 6))
    (term pleasant mild or warm)))

(deftype pressure
  extends (type FUZZY)
  (range 900 1100))

(deftemplate weather "one observation"
  (slot station)
  (slot air (type temperature))
  (slot sea-level (type pressure)))

(deftemplate forecast
  (slot station)
  (multislot outlook (type temperature)))

(deffacts observations
  (weather (station north) (air very cold) (sea-level high))
  (weather (station south) (air "somewhat hot") (sea-level 1013))
  (weather (station east) (air [mild or warm] and not hot) (sea-level medium))
  (weather (station west) (air ((10 0) (18 1) (22 1) (30 0))) (sea-level low))
  (weather (station coast) (air 21.5) (sea-level (tri 990 1000 1010))))

(defrule frost-warning "below freezing somewhere"
  (weather (station ?s) (air freezing|very cold))
  =>
  (assert (forecast (station ?s) (outlook cold freezing))))

(defrule heat
  (weather (station ?s) (air extremely hot) (sea-level high))
  (not (forecast (station ?s)))
  =>
  (assert (forecast (station ?s) (outlook hot))))

(defrule pleasant-day
  (weather (station ?s) (air [pleasant or mild] and not cold) (sea-level ~low))
  =>
  (printout t ?s " looks pleasant" crlf))
