<profile>
	<header>
		<id><![CDATA[Hand]]></id>
		<driverversion>01000000</driverversion>
		<family>kv</family>
		<group>profileall</group>
		<profileid>hand-00000000000000001</profileid>
	</header>
	<database>
		<d i='imageresolutionx'><fb00><enum><v>nosuchvalue</v><v>UNOFFERED</v></enum></fb00></d>
		<d i='contrast'><fb00>11</fb00></d>
	</database>
</profile>
