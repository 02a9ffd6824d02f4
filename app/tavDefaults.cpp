#include "tavDefaults.h"

int GET_DEFAULT_USER_KEY(std::string &text) {
  (void)text;
  return 0;
}

bool GET_DEFAULT_AUTOB() { return false; }
