#pragma once

#include <QString>

namespace corvane {

/// The comparison transcribed step by step from its written rule: slow, obviously right, and
/// the reference that every faster form is checked against.
QString literalFilterCommandList(const QString& reference, const QString& init,
                                 const QString& separator);

}  // namespace corvane
