; Waltz line labelling: the drawing's lines (from waltz_data.py) become a pair of directed edges
; each, the points where edges meet become junctions (L, arrow, fork or tee), two junctions on the
; outer boundary are labelled first, and the labels then spread from junction to junction through
; the catalogue of physically possible labellings (+ convex, - concave, B boundary).  Edges that
; get no label are plotted as boundaries.  Stages move on through low-salience rules.
;
; The counting rules at the end run once the drawing is done and fill the globals that the data
; file's check line prints; they are not part of the benchmark's classic rule set.

(deftemplate stage (slot value))
(deftemplate line (slot p1) (slot p2))
(deftemplate edge (slot p1) (slot p2) (slot joined) (slot label) (slot plotted))
(deftemplate junction (slot p1) (slot p2) (slot p3) (slot base_point) (slot type))

(defglobal ?*SCALE* = 10000)   ; waltz_data.py writes the point (x, y) as x * 10000 + y
(defglobal ?*junctions* = 0 ?*L* = 0 ?*arrow* = 0 ?*fork* = 0 ?*tee* = 0)
(defglobal ?*edges* = 0 ?*plus* = 0 ?*minus* = 0 ?*boundary* = 0 ?*unlabelled* = 0 ?*plotted* = 0)

; Junction shapes are told apart with exact integer vector arithmetic on the edges leaving the
; base point rather than with angles: the drawing has integer coordinates, so the cross and dot
; products decide straight and inside-the-angle without a floating-point tolerance, and no
; trigonometric function is needed.  For every junction of the generated drawings this gives the
; same shape and the same shaft and barbs as comparing sums of inscribed angles.

(deffunction dx (?from ?to) (- (div ?to ?*SCALE*) (div ?from ?*SCALE*)))
(deffunction dy (?from ?to) (- (mod ?to ?*SCALE*) (mod ?from ?*SCALE*)))

; cross product of the vectors base->p and base->q: 0 when they lie on one line
(deffunction cross (?base ?p ?q)
  (- (* (dx ?base ?p) (dy ?base ?q)) (* (dy ?base ?p) (dx ?base ?q))))

(deffunction dot (?base ?p ?q)
  (+ (* (dx ?base ?p) (dx ?base ?q)) (* (dy ?base ?p) (dy ?base ?q))))

; base->p and base->q point in opposite directions along one straight line
(deffunction opposite (?base ?p ?q)
  (and (= (cross ?base ?p ?q) 0) (< (dot ?base ?p ?q) 0)))

; base->m lies strictly inside the angle (below 180 degrees) between base->x and base->y
(deffunction inside (?base ?m ?x ?y)
  (bind ?turn (cross ?base ?x ?y))
  (and (> (* (cross ?base ?x ?m) ?turn) 0) (> (* (cross ?base ?m ?y) ?turn) 0)))

; A tee has two edges on one straight line and the shaft across it; an arrow has its shaft inside
; the angle of its barbs; otherwise the three edges spread over more than a half plane: a fork,
; whose edges the labelling rules treat alike.  p2 is the shaft, p1 and p3 the barbs.
(deffunction make-3-junction (?base ?p1 ?p2 ?p3)
  (bind ?type fork)
  (bind ?barb1 ?p1)
  (bind ?shaft ?p2)
  (bind ?barb2 ?p3)
  (if (opposite ?base ?p2 ?p3)
   then (bind ?type tee) (bind ?barb1 ?p2) (bind ?shaft ?p1) (bind ?barb2 ?p3)
   else
   (if (opposite ?base ?p1 ?p3)
    then (bind ?type tee)
    else
    (if (opposite ?base ?p1 ?p2)
     then (bind ?type tee) (bind ?shaft ?p3) (bind ?barb2 ?p2)
     else
     (if (inside ?base ?p1 ?p2 ?p3)
      then (bind ?type arrow) (bind ?barb1 ?p2) (bind ?shaft ?p1) (bind ?barb2 ?p3)
      else
      (if (inside ?base ?p2 ?p1 ?p3)
       then (bind ?type arrow)
       else
       (if (inside ?base ?p3 ?p1 ?p2)
        then (bind ?type arrow) (bind ?shaft ?p3) (bind ?barb2 ?p2)))))))
  (assert (junction (p1 ?barb1) (p2 ?shaft) (p3 ?barb2) (base_point ?base) (type ?type))))

; --- building the edges and junctions ---

(defrule reverse_edges
  (stage (value duplicate))
  ?f2 <- (line (p1 ?p1) (p2 ?p2))
  =>
  (assert (edge (p1 ?p1) (p2 ?p2) (joined false)))
  (assert (edge (p1 ?p2) (p2 ?p1) (joined false)))
  (retract ?f2))

(defrule done_reversing
  (declare (salience -10))
  ?f1 <- (stage (value duplicate))
  (not (line))
  =>
  (modify ?f1 (value detect_junctions)))

(defrule make-3_junction
  (declare (salience 10))
  (stage (value detect_junctions))
  ?f2 <- (edge (p1 ?base_point) (p2 ?p1) (joined false))
  ?f3 <- (edge (p1 ?base_point) (p2 ?p2&~?p1) (joined false))
  ?f4 <- (edge (p1 ?base_point) (p2 ?p3&~?p1&~?p2) (joined false))
  =>
  (make-3-junction ?base_point ?p1 ?p2 ?p3)
  (modify ?f2 (joined true))
  (modify ?f3 (joined true))
  (modify ?f4 (joined true)))

(defrule make_L
  (stage (value detect_junctions))
  ?f2 <- (edge (p1 ?base_point) (p2 ?p2) (joined false))
  ?f3 <- (edge (p1 ?base_point) (p2 ?p3&~?p2) (joined false))
  (not (edge (p1 ?base_point) (p2 ~?p2&~?p3)))
  =>
  (assert (junction (type L) (base_point ?base_point) (p1 ?p2) (p2 ?p3)))
  (modify ?f2 (joined true))
  (modify ?f3 (joined true)))

(defrule done_detecting
  (declare (salience -10))
  ?f1 <- (stage (value detect_junctions))
  (not (edge (joined false)))
  =>
  (modify ?f1 (value find_initial_boundary)))

; --- the two seeds: the junctions with the highest and the lowest base point lie on the outer
; boundary, so their labels are known ---

(defrule initial_boundary_junction_L
  ?f1 <- (stage (value find_initial_boundary))
  (junction (type L) (base_point ?base_point) (p1 ?p1) (p2 ?p2))
  ?f3 <- (edge (p1 ?base_point) (p2 ?p1))
  ?f4 <- (edge (p1 ?base_point) (p2 ?p2))
  (not (junction (base_point ?bp&:(> ?bp ?base_point))))
  =>
  (modify ?f3 (label B))
  (modify ?f4 (label B))
  (modify ?f1 (value find_second_boundary)))

(defrule initial_boundary_junction_arrow
  ?f1 <- (stage (value find_initial_boundary))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  ?f3 <- (edge (p1 ?bp) (p2 ?p1))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3))
  (not (junction (base_point ?base_point&:(> ?base_point ?bp))))
  =>
  (modify ?f3 (label B))
  (modify ?f4 (label +))
  (modify ?f5 (label B))
  (modify ?f1 (value find_second_boundary)))

(defrule second_boundary_junction_L
  ?f1 <- (stage (value find_second_boundary))
  (junction (type L) (base_point ?base_point) (p1 ?p1) (p2 ?p2))
  ?f3 <- (edge (p1 ?base_point) (p2 ?p1))
  ?f4 <- (edge (p1 ?base_point) (p2 ?p2))
  (not (junction (base_point ?bp&:(< ?bp ?base_point))))
  =>
  (modify ?f3 (label B))
  (modify ?f4 (label B))
  (modify ?f1 (value labeling)))

(defrule second_boundary_junction_arrow
  ?f1 <- (stage (value find_second_boundary))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  ?f3 <- (edge (p1 ?bp) (p2 ?p1))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3))
  (not (junction (base_point ?base_point&:(< ?base_point ?bp))))
  =>
  (modify ?f3 (label B))
  (modify ?f4 (label +))
  (modify ?f5 (label B))
  (modify ?f1 (value labeling)))

; --- propagation ---

; a label known on one direction of an edge holds for the other direction too
(defrule match_edge
  (stage (value labeling))
  ?f2 <- (edge (p1 ?p1) (p2 ?p2) (label ?label&+|-|B))
  ?f3 <- (edge (p1 ?p2) (p2 ?p1) (label nil))
  =>
  (modify ?f2 (plotted t))
  (modify ?f3 (label ?label) (plotted t)))

(defrule label_L
  (stage (value labeling))
  (junction (type L) (base_point ?p1))
  (edge (p1 ?p1) (p2 ?p2) (label +|-))
  ?f4 <- (edge (p1 ?p1) (p2 ~?p2) (label nil))
  =>
  (modify ?f4 (label B)))

(defrule label_tee_A
  (declare (salience 5))
  (stage (value labeling))
  (junction (type tee) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  ?f3 <- (edge (p1 ?bp) (p2 ?p1) (label nil))
  ?f4 <- (edge (p1 ?bp) (p2 ?p3))
  =>
  (modify ?f3 (label B))
  (modify ?f4 (label B)))

(defrule label_tee_B
  (stage (value labeling))
  (junction (type tee) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  ?f3 <- (edge (p1 ?bp) (p2 ?p1))
  ?f4 <- (edge (p1 ?bp) (p2 ?p3) (label nil))
  =>
  (modify ?f3 (label B))
  (modify ?f4 (label B)))

(defrule label_fork-1
  (stage (value labeling))
  (junction (type fork) (base_point ?bp))
  (edge (p1 ?bp) (p2 ?p1) (label +))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2&~?p1) (label nil))
  ?f5 <- (edge (p1 ?bp) (p2 ~?p2&~?p1))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label +)))

(defrule label_fork-2
  (stage (value labeling))
  (junction (type fork) (base_point ?bp))
  (edge (p1 ?bp) (p2 ?p1) (label B))
  (edge (p1 ?bp) (p2 ?p2&~?p1) (label -))
  ?f5 <- (edge (p1 ?bp) (p2 ~?p2&~?p1) (label nil))
  =>
  (modify ?f5 (label B)))

(defrule label_fork-3
  (stage (value labeling))
  (junction (type fork) (base_point ?bp))
  (edge (p1 ?bp) (p2 ?p1) (label B))
  (edge (p1 ?bp) (p2 ?p2&~?p1) (label B))
  ?f5 <- (edge (p1 ?bp) (p2 ~?p2&~?p1) (label nil))
  =>
  (modify ?f5 (label -)))

(defrule label_fork-4
  (stage (value labeling))
  (junction (type fork) (base_point ?bp))
  (edge (p1 ?bp) (p2 ?p1) (label -))
  (edge (p1 ?bp) (p2 ?p2&~?p1) (label -))
  ?f5 <- (edge (p1 ?bp) (p2 ~?p2&~?p1) (label nil))
  =>
  (modify ?f5 (label -)))

(defrule label_arrow-1A
  (declare (salience 5))
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p1) (label ?label&B|-))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2) (label nil))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label ?label)))

(defrule label_arrow-1B
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p1) (label ?label&B|-))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3) (label nil))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label ?label)))

(defrule label_arrow-2A
  (declare (salience 5))
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p3) (label ?label&B|-))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2) (label nil))
  ?f5 <- (edge (p1 ?bp) (p2 ?p1))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label ?label)))

(defrule label_arrow-2B
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p3) (label ?label&B|-))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2))
  ?f5 <- (edge (p1 ?bp) (p2 ?p1) (label nil))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label ?label)))

(defrule label_arrow-3A
  (declare (salience 5))
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p1) (label +))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2) (label nil))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3))
  =>
  (modify ?f4 (label -))
  (modify ?f5 (label +)))

(defrule label_arrow-3B
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p1) (label +))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3) (label nil))
  =>
  (modify ?f4 (label -))
  (modify ?f5 (label +)))

(defrule label_arrow-4A
  (declare (salience 5))
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p3) (label +))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2) (label nil))
  ?f5 <- (edge (p1 ?bp) (p2 ?p1))
  =>
  (modify ?f4 (label -))
  (modify ?f5 (label +)))

(defrule label_arrow-4B
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p3) (label +))
  ?f4 <- (edge (p1 ?bp) (p2 ?p2))
  ?f5 <- (edge (p1 ?bp) (p2 ?p1) (label nil))
  =>
  (modify ?f4 (label -))
  (modify ?f5 (label +)))

(defrule label_arrow-5A
  (declare (salience 5))
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p2) (label -))
  ?f4 <- (edge (p1 ?bp) (p2 ?p1))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3) (label nil))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label +)))

(defrule label_arrow-5B
  (stage (value labeling))
  (junction (type arrow) (base_point ?bp) (p1 ?p1) (p2 ?p2) (p3 ?p3))
  (edge (p1 ?bp) (p2 ?p2) (label -))
  ?f4 <- (edge (p1 ?bp) (p2 ?p1) (label nil))
  ?f5 <- (edge (p1 ?bp) (p2 ?p3))
  =>
  (modify ?f4 (label +))
  (modify ?f5 (label +)))

(defrule done_labeling
  (declare (salience -10))
  ?f1 <- (stage (value labeling))
  =>
  (modify ?f1 (value plot_remaining_edges)))

; --- plotting ---

(defrule plot_remaining
  (stage (value plot_remaining_edges))
  ?f2 <- (edge (plotted nil) (label ?label&~nil) (p1 ?p1) (p2 ?p2))
  =>
  (modify ?f2 (plotted t)))

; an edge no label reached is taken to be a boundary
(defrule plot_boundaries
  (stage (value plot_remaining_edges))
  ?f2 <- (edge (plotted nil) (label nil) (p1 ?p1) (p2 ?p2))
  =>
  (modify ?f2 (plotted t)))

(defrule done_plotting
  (declare (salience -10))
  ?f1 <- (stage (value plot_remaining_edges))
  (not (edge (plotted nil)))
  =>
  (modify ?f1 (value done)))

; --- counting for the check line (after the benchmark proper) ---

(defrule count_junction
  (stage (value done))
  (junction (type ?type))
  =>
  (bind ?*junctions* (+ ?*junctions* 1))
  (if (eq ?type L) then (bind ?*L* (+ ?*L* 1)))
  (if (eq ?type arrow) then (bind ?*arrow* (+ ?*arrow* 1)))
  (if (eq ?type fork) then (bind ?*fork* (+ ?*fork* 1)))
  (if (eq ?type tee) then (bind ?*tee* (+ ?*tee* 1))))

(defrule count_edge
  (stage (value done))
  (edge (label ?label) (plotted ?plotted))
  =>
  (bind ?*edges* (+ ?*edges* 1))
  (if (eq ?label +) then (bind ?*plus* (+ ?*plus* 1)))
  (if (eq ?label -) then (bind ?*minus* (+ ?*minus* 1)))
  (if (eq ?label B) then (bind ?*boundary* (+ ?*boundary* 1)))
  (if (eq ?label nil) then (bind ?*unlabelled* (+ ?*unlabelled* 1)))
  (if (eq ?plotted t) then (bind ?*plotted* (+ ?*plotted* 1))))
