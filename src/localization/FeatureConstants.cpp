// SPDX-License-Identifier: MIT
#include "localization/FeatureConstants.h"

#include "localization/Constants.h"

namespace {

struct TFeatureConstant
{
    const char *Name;
    const char16_t *Value;
};

// %1, %2: filled in with QString::arg by the code that shows the text.
constexpr TFeatureConstant kFeatureConstants[] = {
    {"msgAbrir", u"Abrir"},
    {"msgExpulsar", u"Expulsar"},
    {"msgOcultar", u"Ocultar esta unidad"},
    {"msgUnidadesOcultas", u"Unidades ocultas"},
    {"msgPocoEspacioTitulo", u"Poco espacio en disco"},
    {"msgPocoEspacio", u"Queda poco espacio en %1: %2 libres."},
    // More drives filled at once than notices may go out: the last notice
    // names one and counts the rest.
    {"msgPocoEspacioMas", u"Queda poco espacio en %1 y %2 más."},
    {"msgExpulsada", u"Ya puede retirar %1."},
    {"msgErrorExpulsar", u"No se ha podido expulsar %1: %2"},
    {"msgUnidadOcupada", u"la unidad está en uso; cierre los programas y ventanas que la usan."},
    {"msgNoPermitido", u"no tiene permiso para hacerlo."},
    {"msgNoExpulsable", u"el sistema no la reconoce como una unidad extraíble."},
    {"msgErrorAbrir", u"No se ha podido abrir %1."},
};

} // namespace

void AddFeatureConstants(TVLang_Constants &constants)
{
    for (const TFeatureConstant &constant : kFeatureConstants) {
        const QString name = QString::fromLatin1(constant.Name);
        if (!constants.FindConstName(name))
            constants.Add(name, QString::fromUtf16(constant.Value));
    }
}
