#pragma once

class QWidget;

// Widgets that screen readers meet as alerts: read out when they appear.
namespace Alerts {

// From now on, widgets of this class (its Qt class name) are exposed with the alert role.
void exposeAsAlert(const char *className);
// Tells screen readers that `alert` has appeared (or says something new).
void announce(QWidget *alert);

} // namespace Alerts
