<profile>
	<header>
		<id><![CDATA[Hand]]></id>
		<driverversion>01000000</driverversion>
		<family>kv</family>
		<group>profileall</group>
		<profileid>hand-00000000000000001</profileid>
	</header>
	<database>
		<d i='contrast'><fb00>9999</fb00><fc00>-9999</fc00><rb00>7</rb00></d>
		<d i='binarizationthreshold'><fb00>-5</fb00></d>
		<d i='sheetheight'><m>16805</m></d>
	</database>
</profile>
