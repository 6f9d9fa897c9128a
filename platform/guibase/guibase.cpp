#include "guibase.h"

#include <startup/cfgcenter.h>

#include <memory>

GuiBase& GuiBase::Instance()
{
    static GuiBase base;
    return base;
}

QFileDialog::Options GuiBase::UseNativeDialogs() const
{
    const QByteArray fromEnvironment = qgetenv("TEV_NO_NATIVE_DIALOGS");
    if (!fromEnvironment.isEmpty() && fromEnvironment != "0")
        return QFileDialog::DontUseNativeDialog;
    std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("GuiBase"), 0));
    if (cfg && !cfg->ReadBool(QStringLiteral("NativeDialogs"), true, 2))
        return QFileDialog::DontUseNativeDialog;
    return {};
}
