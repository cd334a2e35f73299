#include "runtime/qoWorldUtil.h"

void qoWorldUtil::Init() {}
