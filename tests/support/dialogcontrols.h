#pragma once

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

namespace quiltana::test {

// The control of `dialog` named `name` (its designer name), at any depth; nullptr, and a failed
// test, when there is none of that name and type.
template <typename T> T *named(const QObject &dialog, const QString &name)
{
    T *found = dialog.findChild<T *>(name);
    if (!found)
        ADD_FAILURE() << "no control " << name.toStdString() << " in " << dialog.objectName().toStdString();
    return found;
}

} // namespace quiltana::test
