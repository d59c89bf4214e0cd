#include "chart/StepChart.h"
