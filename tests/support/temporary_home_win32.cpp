#include "support/temporary_home.h"

TemporaryHome::TemporaryHome() = default;
TemporaryHome::~TemporaryHome() = default;
