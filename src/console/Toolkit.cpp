#include "console/Toolkit.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

#include <chrono>

void Toolkit::ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QCoreApplication::applicationName(), text, QMessageBox::Ok);
}

QString Toolkit::AskText(QWidget* parent, const QString& label)
{
    return QInputDialog::getText(parent, QCoreApplication::applicationName(), label);
}

void Toolkit::SetFocus(QWidget* widget)
{
    widget->setFocus(Qt::OtherFocusReason);
}

void Toolkit::ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}

qint64 Toolkit::TickCount()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
