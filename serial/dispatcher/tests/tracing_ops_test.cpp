#include "serial/dispatcher/tests/port_fixture.h"
