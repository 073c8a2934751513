; A join-heavy program: employees, projects, department leads and existing staffing come from
; join_heavy.py; one rule joins four patterns on shared variables (same department, required
; skill, not the lead, not already staffed) and counts the matches.

(deftemplate employee (slot id (type INTEGER)) (slot dept (type INTEGER)) (slot skill))
(deftemplate project (slot id (type INTEGER)) (slot dept (type INTEGER)) (slot needs))
(deftemplate staffed (slot project (type INTEGER)) (slot employee (type INTEGER)))
(deftemplate lead (slot dept (type INTEGER)) (slot employee (type INTEGER)))
(defglobal ?*matches* = 0)
(defrule candidate
  (project (id ?p) (dept ?d) (needs ?s))
  (employee (id ?e) (dept ?d) (skill ?s))
  (lead (dept ?d) (employee ?l&~?e))
  (not (staffed (project ?p) (employee ?e)))
  =>
  (bind ?*matches* (+ ?*matches* 1)))
