; A workstation configurator.  A customer states what the machine is for and a budget; rules pick
; parts from a catalogue, check that they fit together and within the budget, and print the
; resulting bill of materials.

(deftemplate request
  (slot purpose (allowed-symbols office video-editing gaming))
  (slot budget (type INTEGER)))

(deftemplate part "an item of the catalogue"
  (slot kind)
  (slot name (type STRING))
  (slot price (type INTEGER))
  (slot socket (default none))
  (slot tier (type INTEGER) (default 1)))

(deftemplate choice
  (slot kind)
  (slot name (type STRING))
  (slot price (type INTEGER)))

(deftemplate need
  (slot kind)
  (slot tier (type INTEGER)))

(deftemplate total (slot sum (type INTEGER) (default 0)))

(deffacts catalogue
  (part (kind cpu) (name "Quad 3.2 GHz") (price 180) (socket s1) (tier 1))
  (part (kind cpu) (name "Octa 4.0 GHz") (price 390) (socket s2) (tier 2))
  (part (kind board) (name "Board S1 basic") (price 90) (socket s1))
  (part (kind board) (name "Board S2 pro") (price 210) (socket s2))
  (part (kind memory) (name "16 GB") (price 60) (tier 1))
  (part (kind memory) (name "64 GB") (price 220) (tier 2))
  (part (kind graphics) (name "Integrated") (price 0) (tier 1))
  (part (kind graphics) (name "Studio GPU") (price 450) (tier 2))
  (part (kind disk) (name "1 TB SSD") (price 80) (tier 1))
  (part (kind disk) (name "4 TB NVMe") (price 310) (tier 2)))

(deffacts order
  (request (purpose video-editing) (budget 1500))
  (total))

; --- what each purpose needs --------------------------------------------------------------------

(defrule office-needs
  (request (purpose office))
  =>
  (assert (need (kind cpu) (tier 1)) (need (kind memory) (tier 1))
          (need (kind graphics) (tier 1)) (need (kind disk) (tier 1))))

(defrule editing-needs
  (request (purpose video-editing|gaming))
  =>
  (assert (need (kind cpu) (tier 2)) (need (kind memory) (tier 2))
          (need (kind graphics) (tier 2)) (need (kind disk) (tier 1))))

; --- picking parts ------------------------------------------------------------------------------

(defrule pick-part
  (need (kind ?k) (tier ?t))
  (part (kind ?k) (name ?n) (price ?p) (tier ?t))
  (not (choice (kind ?k)))
  ?sum <- (total (sum ?s))
  =>
  (assert (choice (kind ?k) (name ?n) (price ?p)))
  (modify ?sum (sum (+ ?s ?p))))

(defrule pick-board
  "The board must take the chosen processor"
  (choice (kind cpu) (name ?cpu))
  (part (kind cpu) (name ?cpu) (socket ?sock))
  (part (kind board) (name ?n) (price ?p) (socket ?sock))
  (not (choice (kind board)))
  ?sum <- (total (sum ?s))
  =>
  (assert (choice (kind board) (name ?n) (price ?p)))
  (modify ?sum (sum (+ ?s ?p))))

; --- checks and the result ----------------------------------------------------------------------

(defrule over-budget
  (declare (salience -10))
  (request (budget ?b))
  (total (sum ?s&:(> ?s ?b)))
  =>
  (printout t "Over budget by " (- ?s ?b) ": consider a smaller disk or less memory." crlf))

(defrule bill-of-materials
  (declare (salience -20))
  (request (purpose ?why) (budget ?b))
  (total (sum ?s&:(<= ?s ?b)))
  =>
  (printout t "Workstation for " ?why ", total " ?s " of " ?b crlf))

(defrule list-part
  (declare (salience -30))
  (choice (kind ?k) (name ?n) (price ?p))
  =>
  (printout t "  " ?k ": " ?n " (" ?p ")" crlf))

(reset)
(run)
