#include "network.h"
#include "sweep.h"

int main() {
  random_seed(network.stream, -1);
  longrun();
  return 0;
}
