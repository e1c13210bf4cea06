#include "system/serial/CommAdvice.h"

namespace quenterra {

QString BusyText(const QString& what, const QString& how)
{
    return QStringLiteral("%1 is %2. Close that program and try again.").arg(what, how);
}

QString JoinGroupAdvice(const QString& group)
{
    return QStringLiteral(
               "The device belongs to the group %1; add yourself to the group: "
               "sudo usermod -aG %1 $USER, then log in again.")
        .arg(group);
}

QString AskForAccessAdvice()
{
    return QStringLiteral("Ask the administrator of this computer for access to the device.");
}

QString NoLineSettingsText(const QString& settings)
{
    return QStringLiteral(
               "\"%1\" are no line settings. They read baud,parity,data bits,stop bits, "
               "such as 1200,n,8,1: parity n, e, o, m or s; 5 to 8 data bits; 1, 1.5 "
               "or 2 stop bits.")
        .arg(settings);
}

}  // namespace quenterra
