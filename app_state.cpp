#include "app_state.h"

AppState App;
