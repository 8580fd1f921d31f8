# The configuration table expected after the built-in DBCONFIG and the
# inquiry fixtures have been read, worked out by hand from the key rules:
# "python3 dbconfig_expected.py SCENARIO" prints one line per record in
# sorted() order: "key number string" ("(null)" for no string).
import sys

N = None  # no string


def keys(*names):
    return {name: (0, N) for name in names}


COMMON = {
    'componenttab_enum_false': (0, N),
    'zoomtofitwidth_rangemax': (17700, N),
    'documentmediatypeperside': (0, N),
}

# What every processed model gains.
DERIVED = keys('multifeedcount', 'patchcountfront', 'patchcountrear', 'lampwarmuptime', 'diagruntimeout',
               'diagendtime', 'processreportinquirydone')

MAPLEB_FEEDER = {
    'model_adf': (0, 'mapleB'),
    'modelnamedialog': (0, 'PEMRA mapleB Scanner'),
    'nexilimageformatbw': (0, N),
    'sheetwidth_adf_rangemin': (600, N),
    'sheetwidth_adf_rangemax': (10200, N),
    'sheetheight_adf_rangemin': (600, N),
    'sheetheight_adf_rangemax': (33000, N),
    'barcodecount_adf_rangemin': (1, N),
    'barcodecount_adf_rangemax': (16, N),
    'thinthickenamount_rangemin': (-2, N),
    'thinthickenamount_rangemax': (2, N),
    'firmwareversion': (20141105, '20141105 rev 7'),
    # Sheet limits of the model, and the printer: the first value after
    # "none" in sorted order.
    'sheetheight_rangemax': (33000, N),
    'sheetwidth_rangemax': (10200, N),
    'printer': (0, 'postimagerear'),
    'duplex': (0, N),
}
MAPLEB_FEEDER.update(keys(
    'cameratype_enum_front', 'cameratype_enum_rear',
    'imageformat_enum_rgb_24', 'imageformat_enum_gray_8', 'imageformat_enum_bw',
    'resolutionxoptical_enum_600',
    'language_adf_enum_en_usa', 'language_adf_enum_de_deu', 'language_adf_enum_fr_fra',
    'illumination_adf_enum_normal',
    'background_adf_enum_black', 'background_adf_enum_white',
    'frontside_adf_enum_top',
    'diagnostictype_adf_enum_diagcleanmode', 'diagnostictype_adf_enum_diagclearflash',
    'printer_enum_none', 'printer_enum_preimagefront', 'printer_enum_postimagerear',
    'eolmode_enum_none',
    'indexingformat_enum_none', 'indexingformat_enum_imageaddress',
    'metertypeenabled_adf', 'calibrationtypeenabled_adf', 'ecdo_adf',
    'preview', 'fwdownload', 'imagetest', 'paperdetectable'))

MAPLEC_FEEDER_FLATBED = {
    'model_adf': (0, 'mapleC'),
    'model_flatbed': (0, 'mapleC'),
    'modelnamedialog': (0, 'PEMRA mapleC Scanner'),
    'nexilimageformatbw': (0, N),
    'sheetwidth_adf_rangemin': (600, N),
    'sheetwidth_adf_rangemax': (8700, N),
    'sheetheight_adf_rangemin': (600, N),
    'sheetheight_adf_rangemax': (16800, N),
    'sheetwidth_flatbed_rangemin': (1200, N),
    'sheetwidth_flatbed_rangemax': (10200, N),
    'sheetheight_flatbed_rangemin': (1200, N),
    'sheetheight_flatbed_rangemax': (14028, N),
    # The larger of the units' limits: the feeder's height, the flatbed's width.
    'sheetheight_rangemax': (16800, N),
    'sheetwidth_rangemax': (10200, N),
    # The feeder's front and the flatbed's rear camera make the model duplex;
    # a printer list of "none" alone names no printer.
    'duplex': (0, N),
}
MAPLEC_FEEDER_FLATBED.update(keys(
    'cameratype_enum_front', 'cameratype_enum_rear',
    'imageformat_enum_rgb_24', 'imageformat_enum_gray_8', 'imageformat_enum_bw',
    'language_adf_enum_en_usa', 'language_adf_enum_jp_jpn',
    'language_flatbed_enum_en_usa', 'language_flatbed_enum_de_deu',
    'illumination_flatbed_enum_normal', 'illumination_flatbed_enum_bright',
    'background_adf_enum_white', 'background_flatbed_enum_black',
    'printer_enum_none',
    'metertypeenabled_adf', 'ecdo_adf', 'metertypeenabled_flatbed', 'calibrationtypeenabled_flatbed'))

# The image library's inquiry kept for the feeder and read before the
# feeder's own: its enumerations get "nexil" before the id, its ranges and
# strings do not, and the feeder's later values win.
NEXIL_KEPT = {
    'zoomtofitwidth_rangemin': (0, N),
    'zoomtofitwidth_rangemax': (15000, N),
    'version': (6, '6.1.2.3'),
}
NEXIL_KEPT.update(keys(
    'nexilbarcodetype_adf_enum_qrcode', 'nexilbarcodetype_adf_enum_code39', 'nexilbarcodetype_adf_enum_code128',
    'nexillanguage_adf_enum_en_usa', 'nexillanguage_adf_enum_de_deu', 'nexillanguage_adf_enum_jp_jpn',
    'nexilimageformat_enum_bw', 'nexilimageformat_enum_rgb_24',
    'textenhancement'))

# The image library's reply read at once under the prefix "nexil": ranges,
# enumerations and strings take the prefix, supported ids do not.
NEXIL_PREFIXED = {
    'nexil_barcodecount_adf_rangemin': (1, N),
    'nexil_barcodecount_adf_rangemax': (8, N),
    'nexil_zoomtofitwidth_rangemin': (0, N),
    'nexil_zoomtofitwidth_rangemax': (15000, N),
    'nexil_version': (6, '6.1.2.3'),
}
NEXIL_PREFIXED.update(keys(
    'nexil_barcodetype_adf_enum_qrcode', 'nexil_barcodetype_adf_enum_code39', 'nexil_barcodetype_adf_enum_code128',
    'nexil_language_adf_enum_en_usa', 'nexil_language_adf_enum_de_deu', 'nexil_language_adf_enum_jp_jpn',
    'nexil_imageformat_enum_bw', 'nexil_imageformat_enum_rgb_24',
    'textenhancement'))


def merged(*tables):
    table = {}
    for t in tables:
        table.update(t)
    return table


SCENARIOS = {
    'common': COMMON,
    'mapleb': merged(COMMON, MAPLEB_FEEDER, DERIVED),
    'maplec': merged(COMMON, MAPLEC_FEEDER_FLATBED, DERIVED),
    'mapleb_nexil_kept': merged(COMMON, NEXIL_KEPT, MAPLEB_FEEDER, DERIVED),
    'mapleb_nexil_prefixed': merged(COMMON, MAPLEB_FEEDER, DERIVED, NEXIL_PREFIXED),
}

for key in sorted(SCENARIOS[sys.argv[1]]):
    number, string = SCENARIOS[sys.argv[1]][key]
    print(key, number, string if string is not None else '(null)')
