#pragma once

#include <QtGlobal>

// The framework is a shared library that other programs link as well.
#if defined(VE_LIBRARY)
#define VE_EXPORT Q_DECL_EXPORT
#else
#define VE_EXPORT Q_DECL_IMPORT
#endif
