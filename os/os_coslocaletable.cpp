// The language table. Every row is kept as the product has always shipped
// it, misspellings included ("arabic-eqypt", "Ukranian", the ISO tags
// "ru_RU", "fi-FL" and "sr-Latn-BA " with its blank): the OS locale names are
// matched against what older systems report, the folder names name existing
// documentation folders, and stored settings carry the row numbers.
#include "os_coslocale.h"

// clang-format off
const OsLanguageLookup s_oslanguagelookup[OS_LANGUAGE_LAST + 1] = {
    // neutral, lexicon, OS locale names, folder, ISO tag, TWAIN code, rtl    // id
    {OS_LANGUAGE_NONE, "", "", "", "", 0x4000, 0},  // 0
    {OS_LANGUAGE_AUTO, "auto", "", "", "", 0xFFFF, 0},  // 1
    {OS_LANGUAGE_AF_ZAF, "af_zaf", "afrikaans", "Afrikaans", "af-ZA", 0x000E, 0},  // 2
    {OS_LANGUAGE_SQ_ALB, "sq_alb", "albanian", "Albanian", "sq-AL", 0x000F, 0},  // 3
    {OS_LANGUAGE_AR_ARB, "ar_arb", "arabic", "Arabic", "ar-SA", 0x0010, 1},  // 4
    {OS_LANGUAGE_AR_ARB, "ar_dza", "arabic-algeria", "Arabic_Algeria", "ar-DZ", 0x0011, 1},  // 5
    {OS_LANGUAGE_AR_ARB, "ar_bhr", "arabic-bahrain", "Arabic_Bahrain", "ar-BH", 0x0012, 1},  // 6
    {OS_LANGUAGE_AR_ARB, "ar_egy", "arabic-eqypt", "Arabic_Egypt", "ar-EG", 0x0013, 1},  // 7
    {OS_LANGUAGE_AR_ARB, "ar_irq", "arabic-irqa", "Arabic_Iraq", "ar-IQ", 0x0014, 1},  // 8
    {OS_LANGUAGE_AR_ARB, "ar_jor", "arabic-jordon", "Arabic_Jordan", "ar-JO", 0x0015, 1},  // 9
    {OS_LANGUAGE_AR_ARB, "ar_kwt", "arabic-kuwiat", "Arabic_Kuwait", "ar-KW", 0x0016, 1},  // 10
    {OS_LANGUAGE_AR_ARB, "ar_lbn", "arabic-lebanon", "Arabic_Lebanon", "ar-LB", 0x0017, 1},  // 11
    {OS_LANGUAGE_AR_ARB, "ar_lby", "arabic-libya", "Arabic_Libya", "ar-LY", 0x0018, 1},  // 12
    {OS_LANGUAGE_AR_ARB, "ar_mar", "arabic-morocco", "Arabic_Morocco", "ar-MA", 0x0019, 1},  // 13
    {OS_LANGUAGE_AR_ARB, "ar_omn", "arabic-omna", "Arabic_Oman", "ar-OM", 0x001A, 1},  // 14
    {OS_LANGUAGE_AR_ARB, "ar_qat", "arabic-qatar", "Arabic_Qatar", "ar-QA", 0x001B, 1},  // 15
    {OS_LANGUAGE_AR_ARB, "twain_ar_arb", "", "", "", 0x001C, 1},  // 16
    {OS_LANGUAGE_AR_ARB, "ar_syr", "arabic-syria", "Arabic_Syria", "ar-SY", 0x001D, 1},  // 17
    {OS_LANGUAGE_AR_ARB, "ar_tun", "arabic-tunisia", "Arabic_Tunisia", "ar-TN", 0x001E, 1},  // 18
    {OS_LANGUAGE_AR_ARB, "ar_are", "arabic-uae", "Arabic_UAE", "ar-AE", 0x001F, 1},  // 19
    {OS_LANGUAGE_AR_ARB, "ar_yem", "arabic-yemen", "Arabic_Yemen", "ar-YE", 0x0020, 1},  // 20
    {OS_LANGUAGE_AS_IND, "as_ind", "assamese", "Assamese", "as-IN", 0x0057, 0},  // 21
    {OS_LANGUAGE_EU_ESP, "eu_esp", "", "Basque", "eu-ES", 0x0021, 0},  // 22
    {OS_LANGUAGE_BE_BLR, "be_blr", "", "Belorussian", "be-BY", 0x0022, 0},  // 23
    {OS_LANGUAGE_BG_BGR, "bg_bgr", "", "Bulgarian", "bg-BG", 0x0023, 0},  // 24
    {OS_LANGUAGE_CA_ESP, "ca_esp", "catalan", "Catalan", "ca-ES", 0x0024, 0},  // 25
    {OS_LANGUAGE_CH_CHN, "ch_chn", "chinese-simplified", "Chinese_Simplified", "zh-CN", 0x0025, 0},  // 26
    {OS_LANGUAGE_CH_CHN, "twain_ch_prc", "", "", "", 0x0027, 0},  // 27
    {OS_LANGUAGE_CH_CHN, "twain_ch_chn", "", "", "", 0x0029, 0},  // 28
    {OS_LANGUAGE_CH_CHN, "ch_sgp", "chinese-singapore", "Chinese_Singapore", "zh-SG", 0x0028, 0},  // 29
    {OS_LANGUAGE_CH_TWN, "ch_twn", "chinese-traditional", "Chinese_Traditional", "zh-TW", 0x002A, 0},  // 30
    {OS_LANGUAGE_CH_TWN, "ch_hkg", "", "Chinese_HongKong", "zh-HK", 0x0026, 0},  // 31
    {OS_LANGUAGE_CH_TWN, "ch_mac", "", "Chinese_Macau", "zh-MO", 0x402A, 0},  // 32
    {OS_LANGUAGE_CH_TWN, "twain_ch_twn", "", "", "", 0x002B, 0},  // 33
    {OS_LANGUAGE_HR_HRV, "hr_hrv", "croatian", "Croatian", "hr-HR", 0x002C, 0},  // 34
    {OS_LANGUAGE_CS_CZE, "cs_cze", "czech", "Czech", "cs-CZ", 0x002D, 0},  // 35
    {OS_LANGUAGE_DA_DNK, "da_dnk", "danish", "Danish", "da-DK", 0x0000, 0},  // 36
    {OS_LANGUAGE_NL_NLD, "nl_nld", "dutch", "Dutch", "nl-NL", 0x0001, 0},  // 37
    {OS_LANGUAGE_NL_NLD, "nl_bel", "dutch-belgian;", "Dutch_Belgian", "nl-BE", 0x002E, 0},  // 38
    {OS_LANGUAGE_EN_USA, "en_usa", "english", "English", "en-US", 0x0002, 0},  // 39
    {OS_LANGUAGE_EN_USA, "en_aus", "english-aus", "Australian", "en-AU", 0x002F, 0},  // 40
    {OS_LANGUAGE_EN_USA, "en_blz", "english-belize", "English_Belize", "en-BZ", 0x4002, 0},  // 41
    {OS_LANGUAGE_EN_USA, "en_can", "english-can", "Canadian", "en-CA", 0x0030, 0},  // 42
    {OS_LANGUAGE_EN_USA, "en_029", "english-caribbean", "English_Caribbean", "en-029", 0x4002, 0},  // 43
    {OS_LANGUAGE_EN_USA, "en_ind", "english-india", "English_India", "en-IN", 0x4002, 0},  // 44
    {OS_LANGUAGE_EN_USA, "en_irl", "english-ire", "Irish", "en-IE", 0x0031, 0},  // 45
    {OS_LANGUAGE_EN_USA, "en_jam", "english-jamaica", "English_Jamaica", "en-JM", 0x4002, 0},  // 46
    {OS_LANGUAGE_EN_USA, "en_mys", "english-malaysia", "English_Malaysia", "en-MY", 0x4002, 0},  // 47
    {OS_LANGUAGE_EN_USA, "en_nzl", "english-nz", "English_NewZealand", "en-NZ", 0x0032, 0},  // 48
    {OS_LANGUAGE_EN_USA, "en_phl", "english-philippines", "English_Philippines", "en-PH", 0x4002, 0},  // 49
    {OS_LANGUAGE_EN_USA, "en_sgp", "english-singapore", "English_Singapore", "en-SG", 0x4002, 0},  // 50
    {OS_LANGUAGE_EN_USA, "en_zaf", "english-south africa", "English_SouthAfrica", "en-ZA", 0x0033, 0},  // 51
    {OS_LANGUAGE_EN_USA, "en_tto", "english-trinidad y tobago", "English_Trinidad", "en-TT", 0x4002, 0},  // 52
    {OS_LANGUAGE_EN_USA, "en_gbr", "english-uk", "English_UK", "en-GB", 0x0034, 0},  // 53
    {OS_LANGUAGE_EN_USA, "twain_en_usa", "", "", "", 0x000D, 0},  // 54
    {OS_LANGUAGE_EN_USA, "en_zwe", "english-zimbabwe", "English_Zimbabwe", "en-ZW", 0x4002, 0},  // 55
    {OS_LANGUAGE_ET_EST, "et_est", "estonian", "Estonian", "et-EE", 0x0035, 0},  // 56
    {OS_LANGUAGE_FO_FAO, "fo_fao", "", "Faroese", "fo-FO", 0x0036, 0},  // 57
    {OS_LANGUAGE_FI_FIN, "fi_fin", "finnish", "Finnish", "fi-FL", 0x0004, 0},  // 58
    {OS_LANGUAGE_FR_FRA, "fr_fra", "french", "French", "fr-FR", 0x0005, 0},  // 59
    {OS_LANGUAGE_FR_FRA, "fr_bel", "french-belgian", "French_Belgian", "fr-BE", 0x0038, 0},  // 60
    {OS_LANGUAGE_FR_FRA, "fr_can", "french-canadian", "French_Canadian", "fr-CA", 0x0003, 0},  // 61
    {OS_LANGUAGE_FR_FRA, "fr_lux", "french-luxembourg", "French_Luxembourg", "fr-LU", 0x0039, 0},  // 62
    {OS_LANGUAGE_FR_FRA, "fr_mco", "french-monaco", "French_Monaco", "fr-MC", 0x4005, 0},  // 63
    {OS_LANGUAGE_FR_FRA, "fr_che", "french-swiss", "French_Switzerland", "fr-CH", 0x003A, 0},  // 64
    {OS_LANGUAGE_DE_DEU, "de_deu", "german", "German", "de-DE", 0x0006, 0},  // 65
    {OS_LANGUAGE_DE_DEU, "de_aut", "german-austria", "German_Austria", "de-AT", 0x003B, 0},  // 66
    {OS_LANGUAGE_DE_DEU, "de_lie", "german-lichtenstein", "German_Liechtenstein", "de-LI", 0x003D, 0},  // 67
    {OS_LANGUAGE_DE_DEU, "de_lux", "german-luxembourg", "German_Luxembourg", "de-LU", 0x003C, 0},  // 68
    {OS_LANGUAGE_DE_DEU, "de_che", "german-swiss", "German_Switzerland", "de-CH", 0x003E, 0},  // 69
    {OS_LANGUAGE_EL_GRC, "el_grc", "greek", "Greek", "el-GR", 0x003F, 0},  // 70
    {OS_LANGUAGE_HE_ISR, "he_isr", "hebrew", "Hebrew", "he-IL", 0x0040, 1},  // 71
    {OS_LANGUAGE_HI_IND, "hi_ind", "", "Hindi", "hi-IN", 0x005E, 0},  // 72
    {OS_LANGUAGE_HU_HUN, "hu_hun", "hungarian", "Hungarian", "hu-HU", 0x0041, 0},  // 73
    {OS_LANGUAGE_IS_ISL, "is_isl", "icelandic", "Icelandic", "is-IS", 0x0007, 0},  // 74
    {OS_LANGUAGE_ID_IDN, "id_idn", "", "Indonesian", "id-ID", 0x0042, 0},  // 75
    {OS_LANGUAGE_IT_ITA, "it_ita", "italian", "Italian", "it-IT", 0x0008, 0},  // 76
    {OS_LANGUAGE_IT_ITA, "it_che", "italian-swiss", "Italian_Switzerland", "it-CH", 0x0043, 0},  // 77
    {OS_LANGUAGE_JP_JPN, "jp_jpn", "japanese", "Japanese", "ja-JP", 0x0044, 0},  // 78
    {OS_LANGUAGE_KO_KOR, "ko_kor", "korean", "Korean", "ko-KR", 0x0045, 0},  // 79
    {OS_LANGUAGE_KO_KOR, "twain_ko_kor", "", "", "", 0x0046, 0},  // 80
    {OS_LANGUAGE_LV_LAV, "lv_lav", "", "Latvian", "lv-LV", 0x0047, 0},  // 81
    {OS_LANGUAGE_LT_LIT, "lt_lit", "lithuanian", "Lithuanian", "lt-LT", 0x0048, 0},  // 82
    {OS_LANGUAGE_NO_NOR, "no_nor", "norwegian", "Norwegian", "no-NO", 0x0009, 0},  // 83
    {OS_LANGUAGE_NO_NOR, "nb_nor", "norwegian-bokmal", "Norwegian_Bokmal", "nb-NO", 0x0049, 0},  // 84
    {OS_LANGUAGE_NO_NOR, "nn_nor", "norwegian-nynorsk", "Norwegian_Nynorsk", "nn-NO", 0x004A, 0},  // 85
    {OS_LANGUAGE_FA_IRN, "fa_irn", "", "Persian", "fa-IR", 0x0037, 1},  // 86
    {OS_LANGUAGE_PL_POL, "pl_pol", "polish", "Polish", "pl-PL", 0x004B, 0},  // 87
    {OS_LANGUAGE_PT_BRA, "pt_bra", "portuguese", "Portuguese_Brazilian", "pt-BR", 0x004C, 0},  // 88
    {OS_LANGUAGE_PT_BRA, "pt_prt", "portuguese-portugal", "Portuguese_Portugal", "pt-PT", 0x000A, 0},  // 89
    {OS_LANGUAGE_RO_ROM, "ro_rom", "romanian", "Romanian", "ro-RO", 0x004D, 0},  // 90
    {OS_LANGUAGE_RU_RUS, "ru_rus", "russian", "Russian", "ru_RU", 0x004E, 0},  // 91
    {OS_LANGUAGE_SR_CYRL, "sr_cyrl", "", "Serbian_Cyrillic", "sr-Cyrl", 0x006A, 0},  // 92
    {OS_LANGUAGE_SR_CYRL, "sr_cyrl_bih", "", "Serbian_CyrillicBosnia", "sr-Cyrl-BA", 0x406A, 0},  // 93
    {OS_LANGUAGE_SR_CYRL, "sr_cyrl_mne", "", "Serbian_CyrillicMontenegro", "sr-Cyrl-ME", 0x406A, 0},  // 94
    {OS_LANGUAGE_SR_CYRL, "sr_cyrl_srb", "", "Serbian_CyrillicSerbia", "sr-Cyrl-RS", 0x406A, 0},  // 95
    {OS_LANGUAGE_SR_LATN, "sr_latn", "", "Serbian_Latin", "sr-Latn", 0x004F, 0},  // 96
    {OS_LANGUAGE_SR_LATN, "sr_latn_bih", "", "Serbian_LatinBosnia", "sr-Latn-BA ", 0x404F, 0},  // 97
    {OS_LANGUAGE_SR_LATN, "sr_latn_mne", "", "Serbian_LatinMontenegro", "sr-Latn-ME", 0x404F, 0},  // 98
    {OS_LANGUAGE_SR_LATN, "sr_latn_srb", "", "Serbian_LatinSerbia", "sr-Latn-RS", 0x404F, 0},  // 99
    {OS_LANGUAGE_SK_SVK, "sk_svk", "slovak", "Slovak", "sk-SK", 0x0050, 0},  // 100
    {OS_LANGUAGE_SL_SVN, "sl_svn", "slovenian", "Slovenian", "sl-SI", 0x0051, 0},  // 101
    {OS_LANGUAGE_ES_ESP, "es_esp", "spanish", "Spanish", "es-ES", 0x000B, 0},  // 102
    {OS_LANGUAGE_ES_ESP, "es_arg", "spanish-argentina", "Spanish_Argentina", "es-AR", 0x400B, 0},  // 103
    {OS_LANGUAGE_ES_ESP, "es_bol", "spanish-bolivia", "Spanish_Bolivia", "es-BO", 0x400B, 0},  // 104
    {OS_LANGUAGE_ES_ESP, "es_chl", "spanish-chile", "Spanish_Chile", "es-CL", 0x400B, 0},  // 105
    {OS_LANGUAGE_ES_ESP, "es_col", "spanish-colombia", "Spanish_Colombia", "es-CO", 0x400B, 0},  // 106
    {OS_LANGUAGE_ES_ESP, "es_cri", "spanish-costa rica", "Spanish_CostaRica", "es-CR", 0x400B, 0},  // 107
    {OS_LANGUAGE_ES_ESP, "es_dom", "spanish-dominican republic", "Spanish_DominicanRepublic", "es-DO", 0x400B, 0},  // 108
    {OS_LANGUAGE_ES_ESP, "es_ecu", "spanish-ecuadora", "Spanish_Ecuadora", "es-EC", 0x400B, 0},  // 109
    {OS_LANGUAGE_ES_ESP, "es_slv", "spanish-el salvador", "Spanish_ElSalvador", "es-SV", 0x400B, 0},  // 110
    {OS_LANGUAGE_ES_ESP, "es_gtm", "spanish-guatemala", "Spanish_Guatemala", "es-GT", 0x400B, 0},  // 111
    {OS_LANGUAGE_ES_ESP, "es_hnd", "spanish-honduras", "Spanish_Honduras", "es-HN", 0x400B, 0},  // 112
    {OS_LANGUAGE_ES_ESP, "es_mex", "spanish-mexican", "Spanish_Mexican", "es-MX", 0x0052, 0},  // 113
    {OS_LANGUAGE_ES_ESP, "twain_es_esp", "", "", "", 0x0053, 0},  // 114
    {OS_LANGUAGE_ES_ESP, "es_nic", "spanish-nicaragua", "Spanish_Nicaragua", "es-NI", 0x400B, 0},  // 115
    {OS_LANGUAGE_ES_ESP, "es_pan", "spanish-panama", "Spanish_Panama", "es-PA", 0x400B, 0},  // 116
    {OS_LANGUAGE_ES_ESP, "es_pry", "spanish-paraguay", "Spanish_Paraguay", "es-PY", 0x400B, 0},  // 117
    {OS_LANGUAGE_ES_ESP, "es_per", "spanish-peru", "Spanish_Peru", "es-PE", 0x400B, 0},  // 118
    {OS_LANGUAGE_ES_ESP, "es_pri", "spanish-puerto rico", "Spanish_PuertoRico", "es-PR", 0x400B, 0},  // 119
    {OS_LANGUAGE_ES_ESP, "es_ury", "spanish-uruguay", "Spanish_Uruguay", "es-UY", 0x400B, 0},  // 120
    {OS_LANGUAGE_ES_ESP, "es_usa", "", "Spanish_USA", "es-US", 0x400B, 0},  // 121
    {OS_LANGUAGE_ES_ESP, "es_ven", "spanish-venezuela", "Spanish_Venezuela", "es-VE", 0x400B, 0},  // 122
    {OS_LANGUAGE_SV_SWE, "sv_swe", "swedish", "Swedish", "sv-SE", 0x000C, 0},  // 123
    {OS_LANGUAGE_SV_SWE, "sv_fin", "swedish-finland", "Swedish_Finland", "sv-FI", 0x006C, 0},  // 124
    {OS_LANGUAGE_TH_THA, "th_tha", "thai", "Thai", "th-TH", 0x0054, 0},  // 125
    {OS_LANGUAGE_TR_TUR, "tr_tur", "turkish", "Turkish", "tr-TR", 0x0055, 0},  // 126
    {OS_LANGUAGE_UK_UKR, "uk_ukr", "", "Ukranian", "uk-UA", 0x0056, 0},  // 127
    {OS_LANGUAGE_UR_PAK, "ur_pak", "", "Urdu", "ur-PK", 0x0070, 1},  // 128
    {OS_LANGUAGE_UR_PAK, "ur_ind", "", "Urdu_India", "ur-IN", 0x4070, 1},  // 129
    {OS_LANGUAGE_VI_VNM, "vi_vnm", "", "Vietnamese", "vi-VN", 0x0071, 0},  // 130
    {OS_LANGUAGE_LAST, "", "", "", "", 0x4000, 0},  // 131
};
// clang-format on
