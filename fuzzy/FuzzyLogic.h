// The fuzzy logic library, vaguecore: the chief header a host or the engine includes.
//
//   FuzzyConsts.h     coordinate type, tolerance, enumerations, keyword tables, naming rules
//   FuzzyMessages.h   the message catalogue and EFzyException
//   FuzzySetValues.h  points and the ordered point list of a set
//   FuzzySet.h        TFuzzySet: membership, shapes, set operations, hedges, defuzzification
//   FuzzyComponent.h  TFuzzyLogic, the stand-alone component: variables, their sets, events
//
// Depends on the platform layer only.
#pragma once

#include "FuzzyComponent.h"
#include "FuzzyConsts.h"
#include "FuzzyMessages.h"
#include "FuzzySet.h"
#include "FuzzySetValues.h"
