// Chief header of the pattern layer: slot tests, join tests and patterns.
#pragma once

#include "IEPattern.h"
