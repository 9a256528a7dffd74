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
    // The other machines: the menu item and its dialog.
    {"msgOtrasMaquinas", u"Otras máquinas…"},
    {"msgOtrasMaquinasTitulo", u"Otras máquinas"},
    {"msgEstaMaquina", u"Mostrar las unidades de esta máquina"},
    {"msgServidor", u"Servidor Prometheus:"},
    {"msgUsuario", u"Usuario:"},
    {"msgContrasena", u"Contraseña:"},
    {"msgAnadir", u"Añadir"},
    {"msgProbar", u"Probar"},
    {"msgQuitar", u"Quitar"},
    {"msgAnadido", u"%1 está en la lista."},
    {"msgDireccionNoValida", u"Escriba una dirección que empiece por http:// o https:// y nombre el servidor."},
    {"msgFaltaUsuario", u"Una contraseña necesita su usuario."},
    {"msgContrasenaGuardada", u"La contraseña de %1 está en el llavero del escritorio."},
    {"msgSinLlavero",
     u"No hay llavero del escritorio que guarde la contraseña de %1 (%2). El servidor queda en la lista sin "
     u"contraseña; puede ponerla en ~/.netrc."},
    {"msgProbando", u"Probando %1…"},
    // %2 drives of %3 machines.
    {"msgProbarBien", u"%1 responde: %2 unidades de %3 máquinas."},
    {"msgProbarRechazado", u"%1 no acepta la conexión o no existe: %2"},
    {"msgProbarContrasena", u"%1 no acepta el usuario o la contraseña."},
    {"msgProbarNoPrometheus", u"%1 responde, pero no es un servidor Prometheus: %2"},
    {"msgProbarTiempo", u"%1 no ha respondido en %2 segundos."},
    {"msgProbarNoDisponible", u"Este programa no puede consultar servidores: %1"},
    // The drive window ("what is filling this drive?").
    {"msgAnalizar", u"Analizar…"},
    {"msgExaminar", u"Examinar"},
    {"msgAnalizarTitulo", u"Qué ocupa %1"},
    {"msgAnalizando", u"Analizando: %1 elementos, %2. Ahora en %3"},
    {"msgAnalisisHecho", u"%1 elementos, %2."},
    {"msgAnalisisCancelado", u"Análisis cancelado: %1 elementos, %2 hasta ahora."},
    {"msgErrorAnalizar", u"No se ha podido analizar %1: %2"},
    {"msgCancelar", u"Cancelar"},
    {"msgDesglose", u"Desglose"},
    {"msgHistoria", u"Historia"},
    {"msgCarpetasGrandes", u"Carpetas más grandes"},
    {"msgArchivosGrandes", u"Archivos más grandes"},
    {"msgNombre", u"Nombre"},
    {"msgTamanyo", u"Tamaño"},
    {"msgOtrosArchivos", u"(otros archivos)"},
    {"msgAbrirCarpeta", u"Abrir la carpeta"},
    {"msgMoverPapelera", u"Mover a la papelera"},
    {"msgEliminar", u"Eliminar para siempre…"},
    {"msgConfirmarEliminar", u"¿Eliminar %1 para siempre? No se podrá recuperar."},
    {"msgAnalizarDeNuevo", u"Analizar de nuevo"},
    {"msgVaciarPapelera", u"Vaciar la papelera (%1)"},
    {"msgConfirmarVaciar", u"¿Vaciar la papelera de %1? Se liberarán %2."},
    {"msgEnCarpetas", u"En carpetas: %1"},
    {"msgPapelera", u"Papelera: %1"},
    {"msgOtros", u"Otros: %1"},
    {"msgLibre", u"Libre: %1"},
    {"msgErrorPapelera", u"No se ha podido mover %1 a la papelera: %2"},
    {"msgErrorEliminar", u"No se ha podido eliminar %1: %2"},
    {"msgErrorVaciar", u"No se ha podido vaciar la papelera: %1"},
    // What grew since the last scan, in the drive window's history tab.
    {"msgCrecioTitulo", u"Lo que creció desde el último análisis"},
    {"msgCrecioCarpeta", u"Carpeta"},
    {"msgCrecioAntes", u"Antes"},
    {"msgCrecioAhora", u"Ahora"},
    {"msgCrecioCrecimiento", u"Creció"},
    {"msgCrecioEsperando", u"Se sabrá cuando termine el análisis de la unidad."},
    {"msgCrecioPrimero", u"Primer análisis de esta unidad: el próximo dirá qué creció."},
    {"msgCrecioNada", u"Nada creció desde el último análisis."},
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
