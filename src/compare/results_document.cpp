#include "compare/results_document.h"
