#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QWidget>

// A progress dialog over the window for work the user waits for: shown only
// when the work takes longer than half a second, with nothing to cancel it.
// It is made when first told, and goes when closed or with this object.
class DelayedProgress {
public:
    DelayedProgress(QWidget* parent, const QString& objectName, const QString& title)
        : parent(parent), objectName(objectName), title(title) {}
    ~DelayedProgress();
    DelayedProgress(const DelayedProgress&) = delete;
    DelayedProgress& operator=(const DelayedProgress&) = delete;

    // What the work is doing and how far it has come, from 0 to 1.
    void Tell(const QString& label, double done);
    void Close();

private:
    QWidget* parent;
    QString objectName;
    QString title;
    QPointer<QProgressDialog> dialog;
};
