#include "readers/phrases.hpp"

namespace readers {
namespace {

constexpr std::string_view EN_STATES[] = {"Computer audio unmuted", "Computer audio muted",
                                          "No audio connected", "Telephone unmuted",
                                          "Telephone muted"};
constexpr std::string_view EN_ROLES[] = {"host", "co-host", "guest"};
constexpr std::string_view DE_STATES[] = {"Bei Computeraudio Stummschaltung deaktiviert",
                                          "Bei Computeraudio Stummschaltung aktiviert"};
constexpr std::string_view DE_ROLES[] = {"host", "co-host", "gast"};
constexpr std::string_view ES_STATES[] = {"Audio de la computadora no silenciado",
                                          "Audio de la computadora silenciado"};
constexpr std::string_view ES_ROLES[] = {"anfitrión", "coanfitrión", "invitado"};
constexpr std::string_view FR_STATES[] = {"Son de l'ordinateur rétabli",
                                          "Ordinateur mis en sourdine"};
constexpr std::string_view FR_ROLES[] = {"hôte", "co-hôte", "invité"};
constexpr std::string_view IT_STATES[] = {"Audio computer attivato", "Audio computer disattivato"};
constexpr std::string_view IT_ROLES[] = {"organizzatore", "co-organizzatore", "ospite", "esterno"};
constexpr std::string_view NL_STATES[] = {"Computeraudio ingeschakeld", "Computeraudio gedempt"};
constexpr std::string_view NL_ROLES[] = {"host", "co-host", "gast"};
constexpr std::string_view PT_STATES[] = {"Áudio do computador ativado",
                                          "Áudio do computador desativado"};
constexpr std::string_view PT_ROLES[] = {"anfitrião", "coanfitrião", "convidado"};
constexpr std::string_view PL_STATES[] = {"Wyciszenie dźwięku z komputera wyłączone",
                                          "Dźwięk z komputera wyciszony"};
constexpr std::string_view SV_STATES[] = {"Datorljudet aktiverades", "Datorljudet inaktiverades"};
constexpr std::string_view ID_STATES[] = {"Audio komputer dibunyikan", "Audio komputer dibisukan"};
constexpr std::string_view TR_STATES[] = {"Bilgisayar sesi açıldı", "Bilgisayar sesi kapatıldı"};
constexpr std::string_view VI_STATES[] = {"Âm thanh máy tính được hủy tắt tiếng",
                                          "Âm thanh máy tính bị tắt"};
constexpr std::string_view ZH_HANS_STATES[] = {"电脑音频开启", "电脑音频静音"};
constexpr std::string_view ZH_HANT_STATES[] = {"電腦音訊開啟", "電腦音訊靜音"};
constexpr std::string_view RU_STATES[] = {"Звук компьютера включен", "Звук компьютера выключен"};
constexpr std::string_view JA_STATES[] = {"ミュート解除されたコンピュータ オーディオ",
                                          "ミュートされたコンピュータ オーディオ"};
constexpr std::string_view KO_STATES[] = {"컴퓨터 오디오 음소거 해제됨", "컴퓨터 오디오 음소거됨"};

constexpr std::nullopt_t NONE = std::nullopt;

}  // namespace

const std::array<Phrases, 17> PHRASES{{
    {EN_STATES, EN_ROLES, "Active speaker", "me", "Video content "},
    {DE_STATES, DE_ROLES, "Aktiver Sprecher", "ich", "Videoinhalt "},
    {ES_STATES, ES_ROLES, "Orador activo", "yo", "Contenido de vídeo "},
    {FR_STATES, FR_ROLES, "Intervenant actif", "moi", "Contenu vidéo "},
    {IT_STATES, IT_ROLES, "Oratore attivo", "io", "Contenuti video "},
    {NL_STATES, NL_ROLES, "Actieve spreker", "mezelf", "Video-inhoud "},
    {PT_STATES, PT_ROLES, "Orador ativo", "eu", "Conteúdo de vídeo "},
    {PL_STATES, {}, "Aktywny mówca", NONE, NONE},
    {SV_STATES, {}, "Aktiv talare", "jag", NONE},
    {ID_STATES, {}, "Pembicara aktif", "Saya", NONE},
    {TR_STATES, {}, "Aktif konuşmacı", "ben", NONE},
    {VI_STATES, {}, "Diễn giả đang hoạt động", NONE, NONE},
    {ZH_HANS_STATES, {}, NONE, NONE, NONE},
    {ZH_HANT_STATES, {}, NONE, NONE, NONE},
    {RU_STATES, {}, "Активный докладчик", NONE, NONE},
    {JA_STATES, {}, "アクティブ スピーカー", NONE, NONE},
    {KO_STATES, {}, "현재 발표자", NONE, NONE},
}};

}  // namespace readers
