<profile>
	<header>
		<id><![CDATA[Hand]]></id>
		<driverversion>01000000</driverversion>
		<family>kv</family>
		<group>profileall</group>
		<profileid>hand-00000000000000001</profileid>
	</header>
	<database>
		<d i='windowtag'><enum><v>TAG</v><v>frontbitonal_00</v></enum></d>
	</database>
</profile>
