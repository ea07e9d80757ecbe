#pragma once

#include "common/services.h"

class QDialog;
class QWidget;

namespace quenda {

// Builds a function window by its class name; nullptr for a name no window carries.
QDialog *createFunctionWindow(const QString &className, const Services &services, QWidget *parent);

} // namespace quenda
