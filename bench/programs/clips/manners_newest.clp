; CLIPS 6.30 twin of bench/programs/manners_newest.clp with the same rules: bench/compare_clips.sh
; follows it with the same generated data and commands for CLIPS.  Change the two together.
;
; Miss Manners, extending only the newest seating: the same joins and result as manners.clp, for
; an agenda that does not put the newest activation of equal salience first.
; Miss Manners: seat guests around a table so that neighbours alternate sex and share a hobby.
; The guest list comes from manners_data.py (guests, their count and the last seat).  The rules
; search depth first; the run prints the seating and a short check line.

(deftemplate guest (slot name) (slot sex) (slot hobby))
(deftemplate last_seat (slot seat (type INTEGER)))
(deftemplate seating
  (slot seat1 (type INTEGER)) (slot name1) (slot name2) (slot seat2 (type INTEGER))
  (slot id (type INTEGER)) (slot pid (type INTEGER)) (slot path_done))
(deftemplate context (slot state))
(deftemplate path (slot id (type INTEGER)) (slot name) (slot seat (type INTEGER)))
(deftemplate chosen (slot id (type INTEGER)) (slot name) (slot hobby))
(deftemplate count (slot c (type INTEGER)))
(deftemplate newest (slot id (type INTEGER)))
(defglobal ?*seated* = 0)

(defrule assign_first_seat
  ?f1 <- (context (state start))
  (guest (name ?n))
  ?f3 <- (count (c ?c))
  =>
  (assert (seating (seat1 1) (name1 ?n) (name2 ?n) (seat2 1) (id ?c) (pid 0) (path_done yes)))
  (assert (path (id ?c) (name ?n) (seat 1)))
  (assert (newest (id ?c)))
  (modify ?f3 (c (+ ?c 1)))
  (modify ?f1 (state assign_seats)))

(defrule find_seating
  ?f1 <- (context (state assign_seats))
  ?nw <- (newest (id ?id))
  (seating (seat1 ?seat1) (seat2 ?seat2) (name2 ?n2) (id ?id) (pid ?pid) (path_done yes))
  (guest (name ?n2) (sex ?s1) (hobby ?h1))
  (guest (name ?g2) (sex ~?s1) (hobby ?h1))
  ?f5 <- (count (c ?c))
  (not (path (id ?id) (name ?g2)))
  (not (chosen (id ?id) (name ?g2) (hobby ?h1)))
  =>
  (assert (seating (seat1 ?seat2) (name1 ?n2) (name2 ?g2) (seat2 (+ ?seat2 1)) (id ?c) (pid ?id)
                   (path_done no)))
  (assert (path (id ?c) (name ?g2) (seat (+ ?seat2 1))))
  (assert (chosen (id ?id) (name ?g2) (hobby ?h1)))
  (modify ?nw (id ?c))
  (modify ?f5 (c (+ ?c 1)))
  (modify ?f1 (state make_path)))

(defrule make_path
  (declare (salience 1))
  (context (state make_path))
  (seating (id ?id) (pid ?pid) (path_done no))
  (path (id ?pid) (name ?n1) (seat ?s))
  (not (path (id ?id) (name ?n1)))
  =>
  (assert (path (id ?id) (name ?n1) (seat ?s))))

(defrule path_done
  ?f1 <- (context (state make_path))
  ?f2 <- (seating (path_done no))
  =>
  (modify ?f2 (path_done yes))
  (modify ?f1 (state check_done)))

(defrule are_we_done
  (declare (salience 1))
  ?f1 <- (context (state check_done))
  (last_seat (seat ?l_seat))
  (seating (seat2 ?l_seat))
  =>
  (modify ?f1 (state print_results)))

(defrule continue
  ?f1 <- (context (state check_done))
  =>
  (modify ?f1 (state assign_seats)))

(defrule print_results
  (declare (salience 1))
  (context (state print_results))
  (seating (id ?id) (seat2 ?s2))
  (last_seat (seat ?s2))
  ?f4 <- (path (id ?id) (name ?n) (seat ?s))
  =>
  (retract ?f4)
  (bind ?*seated* (+ ?*seated* 1))
  (printout t ?n " " ?s crlf))

(defrule all_done
  (context (state print_results))
  =>
  (halt))
