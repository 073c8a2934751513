;;; ==========================================================================
;;; Workstation configurator
;;;
;;; Sales enter what the customer wants; the rules pick compatible parts,
;;; flag conflicts and add what a working machine still lacks.  Prices are in
;;; euro cents so that sums stay exact.
;;; ==========================================================================

(deftype price "A price in euro cents" extends (type INTEGER)
  (range 0 ?VARIABLE)
  (units "euro cents"))

(deftype form-factor extends (type SYMBOL)
  (allowed-symbols atx micro-atx mini-itx))

(deftype wattage extends (type NUMBER)
  (range 150 1600)
  (units W))

(deftemplate part "Anything that can go into a machine"
  (slot sku (type STRING))
  (slot kind (allowed-symbols cpu board memory gpu psu case disk cooler))
  (slot price (type price))
  (slot draw (type INTEGER) (default 0) (units W))
  (multislot tags (type SYMBOL)))

(deftemplate board
  extends part
  (slot socket (type SYMBOL))
  (slot size (type form-factor))
  (slot memory-slots (type INTEGER) (range 2 8) (default 4)))

(deftemplate cpu
  extends part
  (slot socket (type SYMBOL))
  (slot cores (allowed-integers 4 6 8 12 16 24) (default 8)))

(deftemplate request "What the customer asked for"
  (slot use (allowed-values office gaming "video editing" cad) (default office))
  (slot budget (type price) (default 150000))
  (slot quiet (allowed-symbols yes no) (default no))
  (multislot must-have (type SYMBOL) (cardinality 0 5)))

(deftemplate chosen
  (slot kind (type SYMBOL))
  (slot sku (type STRING))
  (slot price (type price)))

(deftemplate conflict
  (slot reason (type STRING))
  (multislot parts (type STRING)))

(defglobal ?*psu-headroom* = 1.3)
(defglobal ?*base-draw* = 60 ?*currency* = "EUR")

(deffunction cents->euro (?cents)
  "Format a price in cents for a quotation"
  (str-cat (div ?cents 100) "." (if (< (mod ?cents 100) 10) then "0" else "") (mod ?cents 100) " " ?*currency*))

(deffunction total-draw ($?draws)
  (bind ?sum ?*base-draw*)
  (foreach ?d ?draws (bind ?sum (+ ?sum ?d)))
  ?sum)

(deffunction psu-needed (?draw)
  (integer (* ?draw ?*psu-headroom*)))

(deffacts catalogue "Parts in stock this week"
  (cpu (sku "CPU-R7-7700") (kind cpu) (price 32900) (draw 65) (socket am5) (cores 8) (tags efficient))
  (cpu (sku "CPU-I9-14900") (kind cpu) (price 58900) (draw 125) (socket lga1700) (cores 24) (tags fast hot))
  (board (sku "MB-B650-M") (kind board) (price 15900) (socket am5) (size micro-atx))
  (board (sku "MB-Z790-A") (kind board) (price 27900) (socket lga1700) (size atx) (memory-slots 4))
  (part (sku "RAM-32-DDR5") (kind memory) (price 11900) (draw 10))
  (part (sku "GPU-4070") (kind gpu) (price 61900) (draw 200) (tags gaming cuda))
  (part (sku "PSU-650") (kind psu) (price 8900))
  (part (sku "PSU-850") (kind psu) (price 12900) (tags modular))
  (part (sku "CASE-SILENT") (kind case) (price 9900) (tags quiet))
  (part (sku "CASE-MESH") (kind case) (price 7900) (tags airflow)))

(deffacts sample-request
  (request (use gaming) (budget 200000) (quiet yes) (must-have gpu wifi)))

(defrule pick-cpu-for-gaming
  "Gamers get the fastest processor the budget allows"
  (request (use gaming) (budget ?b))
  (cpu (sku ?s) (price ?p&:(< ?p (/ ?b 3))) (cores ?c&:(>= ?c 8)))
  (not (cpu (price ?q&:(and (> ?q ?p) (< ?q (/ ?b 3))))))
  (not (chosen (kind cpu)))
  =>
  (assert (chosen (kind cpu) (sku ?s) (price ?p))))

(defrule pick-matching-board
  (chosen (kind cpu) (sku ?cpu))
  (cpu (sku ?cpu) (socket ?socket))
  (board (sku ?b) (socket ?socket) (price ?p))
  (not (chosen (kind board)))
  =>
  (assert (chosen (kind board) (sku ?b) (price ?p))))

(defrule quiet-case
  (request (quiet yes))
  (part (kind case) (sku ?s) (price ?p) (tags $?before quiet $?after))
  (not (chosen (kind case)))
  =>
  (assert (chosen (kind case) (sku ?s) (price ?p))))

(defrule gpu-on-request
  (request (must-have $? gpu $?))
  (part (kind gpu) (sku ?s) (price ?p))
  =>
  (assert (chosen (kind gpu) (sku ?s) (price ?p))))

(defrule size-the-power-supply
  (declare (salience -5))
  (not (chosen (kind psu)))
  =>
  (bind ?need (psu-needed (total-draw 65 200 10)))
  (printout t "Power supply of at least " ?need " W needed" crlf))

(defrule socket-mismatch
  (declare (salience 50))
  (chosen (kind cpu) (sku ?c))
  (chosen (kind board) (sku ?b))
  (cpu (sku ?c) (socket ?s1))
  (board (sku ?b) (socket ?s2&~?s1))
  =>
  (assert (conflict (reason "socket mismatch") (parts ?c ?b))))

(deftemplate quotation
  (slot total (type price) (default 0))
  (multislot counted (type STRING)))

;; Each chosen part is added to the running total exactly once.
(defrule add-to-quotation
  (declare (salience -40))
  (chosen (sku ?s) (price ?p))
  ?q <- (quotation (total ?t) (counted $?done&:(not (member$ ?s ?done))))
  =>
  (modify ?q (total (+ ?t ?p)) (counted ?done ?s)))

(defrule start-quotation
  (declare (salience -30))
  (exists (chosen))
  (not (quotation))
  =>
  (assert (quotation)))

(defrule over-budget
  (declare (salience -50))
  (request (budget ?budget))
  (quotation (total ?total))
  =>
  (if (> ?total ?budget)
   then (printout t "Over budget by " (cents->euro (- ?total ?budget)) crlf)
   else (printout t "Quotation total " (cents->euro ?total) crlf)))
