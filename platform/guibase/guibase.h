#pragma once

#include <guibase/guibase_export.h>

#include <QFileDialog>

/// Shared settings of the widgets of an application.
class GUIBASE_EXPORT GuiBase
{
public:
    static GuiBase& Instance();

    /// The options every file dialog is opened with: QFileDialog::DontUseNativeDialog when the
    /// environment variable TEV_NO_NATIVE_DIALOGS is set to a value other than 0, or when the
    /// application configuration holds GuiBase/NativeDialogs=false; else no option.
    QFileDialog::Options UseNativeDialogs() const;

private:
    GuiBase() = default;
};
