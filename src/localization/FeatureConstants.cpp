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
    {"msgLlenoEn", u"Lleno en ~%1"},
    {"msgLlenoYa", u"Lleno en un momento"},
    {"msgEstable", u"Ocupación estable"},
    {"msgMinutos", u"%1 minutos"},
    {"msgHoras", u"%1 horas"},
    {"msgDias", u"%1 días"},
    {"msgMeses", u"%1 meses"},
    {"msgLlenandoTitulo", u"Un disco se está llenando"},
    {"msgLlenandoUrgenteTitulo", u"Un disco se llenará pronto"},
    {"msgLlenando", u"%1 se llenará en ~%2 a este ritmo: %3 libres."},
    {"msgSinInodos", u"Quedan pocos inodos: %1 % libres"},
    {"msgPocoEspacioInodos", u"Quedan pocos inodos en %1: no caben más archivos aunque hay %2 libres."},
    {"msgHistoria24Horas", u"24 horas"},
    {"msgHistoria30Dias", u"30 días"},
    {"msgHistoria90Dias", u"90 días"},
    {"msgHistoriaVacia", u"Aún no hay historia de esta unidad."},
    {"msgHistoriaLleno", u"Lleno"},
    {"msgHistoriaPrevision", u"Previsión"},
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
