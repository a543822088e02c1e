#include "DialogProvider.h"

DialogProvider::~DialogProvider() = default;
