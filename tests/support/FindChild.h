#pragma once
// A window's or page's private control by its object name, for tests. A control that is
// not there ends the test program with its name: a renamed control is a broken test, not
// a null pointer to crash on later.
//
//   auto* edit = FindChild<QLineEdit>(page, "EditBox");

#include <QObject>

template <class T>
T* FindChild(const QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return child;
}
