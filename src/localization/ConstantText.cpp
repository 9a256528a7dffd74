// SPDX-License-Identifier: MIT
#include "localization/ConstantText.h"

#include <array>
#include <utility>

// The Spanish defaults of the program's constants, until the engine reads
// them from the constants block.
QString ConstantText(const QString &name)
{
    static const std::array<std::pair<const char *, const char *>, 4> defaults{{
        {"errIniciarComponente", "No se ha podido iniciar el componente de consulta."},
        {"msgdisponibles", "disponibles de"},
        {"msgIniciarAuto", "¿Desea que la aplicación se ejecute automáticamente al iniciar el sistema?"},
        {"msgVersion", "Version"},
    }};
    for (const auto &[key, text] : defaults)
        if (name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(text);
    return {};
}
