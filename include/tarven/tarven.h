#pragma once

// The whole public interface of the TARVEN library.

#include "tarven/analysis.h"
#include "tarven/evaluate.h"
#include "tarven/observer.h"
#include "tarven/options.h"
#include "tarven/problem.h"
#include "tarven/rates.h"
#include "tarven/result.h"
#include "tarven/version.h"
