#include "view_state.h"

ViewState view_state;
