#pragma once
// One small icon per priority level: 0 High, 1 Normal, 2 Low.

#include <QIcon>

QIcon PriorityIcon(int priority);
