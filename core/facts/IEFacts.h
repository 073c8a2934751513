// Chief header of the fact layer: templates and slots, facts and their value tables, fact sets.
#pragma once

#include "Fact.h"
#include "FactSet.h"
#include "FactTemplate.h"
