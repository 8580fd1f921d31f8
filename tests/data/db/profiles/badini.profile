[Header]
l_en_usa=a]]>b
[ICAP_CONTRAST]
v=5
