#include "grid.h"

Grid solution_grid = {};
Grid display_grid = {};
