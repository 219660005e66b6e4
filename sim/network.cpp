#include "network.h"

FiberNetwork network;
