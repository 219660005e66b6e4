#pragma once

#include <cstdint>

#include "platform.h"

// The toolkit key code (1 to 104) of a key message's virtual key and lParam (scan code and
// extended flag); 0 when the key has none.
int32_t key_code(uint32_t virtual_key, PwLParam lparam);
